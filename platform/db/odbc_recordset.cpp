// The ODBC back end's recordset: the result is read from the server a block of rows at a time
// as the caller moves through it, and only the current block is kept, so a forward walk over a
// large table costs one block of memory, not a copy of the table. Going back past the block
// runs the statement again and reads forward to the row; MoveLast asks the server for the
// number of rows instead of reading them.
#include <fmt/format.h>

#include <algorithm>
#include <optional>

#include "platform/db/odbc_backend.h"

namespace db::odbc {
namespace {

Error NoCurrentRecord() { return Error(errnum::kNoCurrentRecord, "No current record."); }

// The rows of one SELECT, read forward in blocks; row k (from 0) is reached by reading on,
// or by running the statement again when it lies behind the current block.
class BlockCursor {
public:
    BlockCursor(std::shared_ptr<const Connection> conn, Rendered query, const std::vector<Field>& fields)
        : conn_(std::move(conn)), query_(std::move(query)), types_(fields.size()) {
        for (size_t c = 0; c < fields.size(); ++c) types_[c] = fields[c].Type;
        Restart();
        Fill();
    }

    // Makes row k part of the current block; false when the result has no such row.
    bool Has(int64_t k) {
        if (k >= first_ && k < first_ + rows_) return true;
        if (k < 0 || (total_ && k >= *total_)) return false;
        if (k < first_) Restart();
        while (k >= read_ && stmt_) Fill();
        return k >= first_ && k < first_ + rows_;
    }

    // The cells of row k, which Has made part of the block.
    const Value* Row(int64_t k) const { return cells_.data() + size_t(k - first_) * types_.size(); }

    // The number of rows of the result: the server counts them unless they have all been read
    // already; a server that cannot count over the query has them read to the end.
    int64_t Total() {
        if (total_) return *total_;
        try {
            Statement s(*conn_);
            s.Execute("SELECT COUNT(*) FROM (" + query_.sql + ") AS bns_rows", query_.params);
            if (s.Fetch())
                if (std::optional<int64_t> n = s.Integer(1)) total_ = *n;
        } catch (const Error&) {
            // counted below by reading on
        }
        while (!total_) Fill();
        return *total_;
    }

    void Close() {
        stmt_.reset();
        cells_.clear();
        cells_.shrink_to_fit();
    }

private:
    void Restart() {
        stmt_ = std::make_unique<Statement>(*conn_);
        stmt_->Execute(query_.sql, query_.params);
        read_ = first_ = rows_ = 0;
        cells_.clear();
        // A bit column's text is its raw byte with some drivers (MariaDB's gives "\x01" and ""),
        // so it is read as a number; a floating-point column's text may be shortened (MariaDB
        // writes a FLOAT with 6 digits), so it is read as a double, which holds it exactly. (The
        // SQLite driver calls a declared BOOLEAN a bit, but a cell there may hold any text: its
        // cells are read as texts, as the file's are.)
        reads_.assign(types_.size(), Read::Text);
        if (conn_->server() == Server::Sqlite) return;
        for (size_t c = 0; c < types_.size(); ++c) {
            const SQLLEN type = stmt_->ColumnType(int(c) + 1);
            const bool number = types_[c] == dbSingle || types_[c] == dbDouble;
            if (type == SQL_BIT) reads_[c] = Read::Bit;
            else if (number && (type == SQL_REAL || type == SQL_FLOAT || type == SQL_DOUBLE)) reads_[c] = Read::Real;
        }
    }

    // Replaces the block by the next rows of the statement. The statement is let go as soon as
    // it has given its last row, which ends the server's cursor.
    void Fill() {
        cells_.clear();
        first_ = read_;
        rows_ = 0;
        while (rows_ < kBlockRows && stmt_->Fetch()) {
            for (size_t c = 0; c < types_.size(); ++c) {
                const FieldType type = types_[c];
                const int column = int(c) + 1;
                if (reads_[c] == Read::Bit) {
                    const std::optional<int64_t> bit = stmt_->Integer(column);
                    cells_.push_back(!bit                ? Value()
                                     : type == dbBoolean ? Value(*bit != 0)
                                                         : CellFromText(std::to_string(*bit), type));
                    continue;
                }
                if (reads_[c] == Read::Real) {
                    const std::optional<double> d = stmt_->Real(column);
                    cells_.push_back(!d ? Value() : type == dbSingle ? Value(float(*d)) : Value(*d));
                    continue;
                }
                const bool binary = type == dbBinary || type == dbLongBinary;
                std::optional<std::string> cell = binary ? stmt_->Bytes(column) : stmt_->Text(column);
                cells_.push_back(!cell ? Value() : binary ? Value(std::move(*cell)) : CellFromText(*cell, type));
            }
            ++rows_;
        }
        read_ += rows_;
        if (rows_ < kBlockRows) {
            stmt_.reset();
            total_ = read_;
        }
    }

    std::shared_ptr<const Connection> conn_;
    Rendered query_;
    std::vector<FieldType> types_;
    enum class Read : uint8_t { Text, Bit, Real };
    std::vector<Read> reads_;          // how each result column's cells are read
    std::unique_ptr<Statement> stmt_;  // null once the result has been read to its end
    std::vector<Value> cells_;         // the block's rows, row after row, column fastest
    int64_t first_ = 0;                // the block's first row
    int64_t rows_ = 0;                 // the block's rows
    int64_t read_ = 0;                 // rows the statement has given since it ran
    std::optional<int64_t> total_;     // the result's rows, once known
};

class OdbcRecordset : public Recordset {
public:
    OdbcRecordset(std::shared_ptr<const Connection> conn, Rendered query, std::vector<Field> fields)
        : fields_(std::move(fields)), rows_(std::move(conn), std::move(query), fields_) {
        eof_ = bof_ = !rows_.Has(0);
        visited_ = eof_ ? 0 : 1;
    }

    vb::Array<Value> GetRows(int32_t n) override {
        CheckOpen();
        const size_t cols = fields_.size();
        std::vector<Value> cells;
        int64_t take = 0;
        if (!eof_)
            for (; take < n && rows_.Has(pos_ + take); ++take) {
                const Value* row = rows_.Row(pos_ + take);
                cells.insert(cells.end(), row, row + cols);
            }
        vb::Array<Value> out;
        out.ReDim(vb::To(int32_t(cols) - 1), vb::To(int32_t(take) - 1));
        // Cells are kept row after row, column fastest: the array's own order for (column, row).
        std::move(cells.begin(), cells.end(), out.cells().begin());
        if (take > 0) {
            pos_ += take;
            eof_ = !rows_.Has(pos_);
            visited_ = std::max(visited_, eof_ ? pos_ : pos_ + 1);
        }
        return out;
    }

    int FieldCount() const override { return int(fields_.size()); }

    const Field& Fields(int index) const override {
        CheckOpen();
        if (index < 0 || index >= int(fields_.size()))
            throw Error(errnum::kItemNotFound, fmt::format("Item not found in this collection: field {}.", index));
        Field& f = fields_[size_t(index)];
        // The name and type stay readable; only the value needs a current row.
        if (eof_ || bof_ || !rows_.Has(pos_))
            f.current.reset();
        else
            f.current = rows_.Row(pos_)[index];
        return f;
    }

    const Field& Fields(const std::string& name) const override {
        CheckOpen();
        for (size_t i = 0; i < fields_.size(); ++i)
            if (sql::SameName(fields_[i].Name, name)) return Fields(int(i));
        throw Error(errnum::kItemNotFound, fmt::format("Item not found in this collection: no field '{}'.", name));
    }

    bool Eof() const override {
        CheckOpen();
        return eof_;
    }
    bool BOF() const override {
        CheckOpen();
        return bof_;
    }

    // MoveFirst and MoveLast read no row: the row is read when a field or GetRows asks for it,
    // so counting the rows with MoveLast and going back with MoveFirst costs one count.
    void MoveFirst() override {
        CheckOpen();
        if (eof_ && bof_) throw NoCurrentRecord();
        pos_ = 0;
        eof_ = bof_ = false;
    }

    void MoveNext() override {
        CheckOpen();
        if (eof_) throw NoCurrentRecord();
        ++pos_;
        bof_ = false;
        eof_ = !rows_.Has(pos_);
        if (!eof_) visited_ = std::max(visited_, pos_ + 1);
    }

    void MoveLast() override {
        CheckOpen();
        if (eof_ && bof_) throw NoCurrentRecord();
        const int64_t total = rows_.Total();
        if (total == 0) throw NoCurrentRecord();
        pos_ = total - 1;
        eof_ = bof_ = false;
        visited_ = total;
    }

    int32_t RecordCount() const override {
        CheckOpen();
        return int32_t(std::min<int64_t>(visited_, INT32_MAX));
    }

    void SetAbsolutePosition(int32_t row) override {
        CheckOpen();
        if (!rows_.Has(row)) throw NoCurrentRecord();
        pos_ = row;
        eof_ = bof_ = false;
        visited_ = std::max(visited_, pos_ + 1);
    }

    void Close() override {
        closed_ = true;
        rows_.Close();
    }

private:
    void CheckOpen() const {
        if (closed_) throw Error(3420, "Object invalid or no longer set.");
    }

    mutable std::vector<Field> fields_;
    mutable BlockCursor rows_;
    int64_t pos_ = 0;
    int64_t visited_ = 0;
    bool eof_ = true;
    bool bof_ = true;
    bool closed_ = false;
};

}  // namespace

std::unique_ptr<Recordset> OpenResult(std::shared_ptr<const Connection> conn, Rendered query,
                                      std::vector<Field> fields) {
    return std::make_unique<OdbcRecordset>(std::move(conn), std::move(query), std::move(fields));
}

}  // namespace db::odbc
