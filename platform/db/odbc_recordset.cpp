// The ODBC back end's recordset: the result is read whole when the query runs, so the
// connection's statement is free again at once and MoveFirst, MoveLast and RecordCount need no
// second trip to the server. The engines' count queries return one row per group, which is
// what keeps this small for large tables: the counting happens on the server.
#include <fmt/format.h>

#include "platform/db/odbc_backend.h"

namespace db::odbc {
namespace {

Error NoCurrentRecord() { return Error(errnum::kNoCurrentRecord, "No current record."); }

class OdbcRecordset : public Recordset {
public:
    OdbcRecordset(std::vector<Field> fields, std::vector<Value> cells)
        : fields_(std::move(fields)), cells_(std::move(cells)) {
        rows_ = fields_.empty() ? 0 : int64_t(cells_.size() / fields_.size());
        eof_ = bof_ = rows_ == 0;
        visited_ = rows_ == 0 ? 0 : 1;
    }

    vb::Array<Value> GetRows(int32_t n) override {
        CheckOpen();
        const size_t cols = fields_.size();
        int64_t take = eof_ || n <= 0 ? 0 : std::min<int64_t>(n, rows_ - pos_);
        vb::Array<Value> out;
        out.ReDim(vb::To(int32_t(cols) - 1), vb::To(int32_t(take) - 1));
        // Cells are kept row after row, column fastest: the array's own order for (column, row).
        auto first = cells_.begin() + std::ptrdiff_t(size_t(pos_) * cols);
        std::copy(first, first + std::ptrdiff_t(size_t(take) * cols), out.cells().begin());
        if (take > 0) {
            pos_ += take;
            eof_ = pos_ >= rows_;
            visited_ = std::max(visited_, std::min(pos_ + 1, rows_));
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
        if (eof_ || bof_)
            f.current.reset();
        else
            f.current = cells_[size_t(pos_) * fields_.size() + size_t(index)];
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

    void MoveFirst() override {
        CheckOpen();
        if (rows_ == 0) throw NoCurrentRecord();
        pos_ = 0;
        eof_ = bof_ = false;
    }

    void MoveNext() override {
        CheckOpen();
        if (eof_) throw NoCurrentRecord();
        ++pos_;
        bof_ = false;
        eof_ = pos_ >= rows_;
        if (!eof_) visited_ = std::max(visited_, pos_ + 1);
    }

    void MoveLast() override {
        CheckOpen();
        if (rows_ == 0) throw NoCurrentRecord();
        pos_ = rows_ - 1;
        eof_ = bof_ = false;
        visited_ = rows_;
    }

    int32_t RecordCount() const override {
        CheckOpen();
        return int32_t(std::min<int64_t>(visited_, INT32_MAX));
    }

    void Close() override {
        closed_ = true;
        cells_.clear();
        cells_.shrink_to_fit();
    }

private:
    void CheckOpen() const {
        if (closed_) throw Error(3420, "Object invalid or no longer set.");
    }

    mutable std::vector<Field> fields_;
    std::vector<Value> cells_;
    int64_t rows_ = 0;
    int64_t pos_ = 0;
    int64_t visited_ = 0;
    bool eof_ = true;
    bool bof_ = true;
    bool closed_ = false;
};

}  // namespace

std::unique_ptr<Recordset> MakeRecordset(std::vector<Field> fields, std::vector<Value> cells) {
    return std::make_unique<OdbcRecordset>(std::move(fields), std::move(cells));
}

}  // namespace db::odbc
