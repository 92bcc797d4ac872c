// Excel workbooks (.xls), read by the file reader process (reader_process.h; its records in
// reader/xls_book.h): one table per sheet, named after the sheet, read the first time a query
// names it. The reader gives each column its type and each cell its own kind; the first row
// names the fields, and a cell whose kind is not its column's (a number in a Text column) is
// written in the column's type here, with the layer's number and date texts.
#include <fmt/format.h>
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <memory>

#include "platform/db/column_types.h"
#include "platform/db/imported_database.h"
#include "platform/db/reader_process.h"
#include "platform/vb/strings.h"

namespace db {
namespace {

Error NotExpected(const std::string& file, const std::string& what) {
    return Error(errnum::kNotExpectedFormat,
                 fmt::format("External table is not in the expected format. '{}' {}.", file, what));
}

// What the reader sent in place of an answer.
[[noreturn]] void ThrowFailure(const std::string& file, std::string_view payload) {
    const auto [kind, what] = reader::ReadRefusal(payload);
    if (kind == frames::kEncrypted)
        throw Error(errnum::kCannotOpenFile,
                    fmt::format("Cannot open '{}': the workbook is protected by a password, and protected workbooks "
                                "cannot be read here. Save it without a password and open it again.",
                                file));
    throw NotExpected(file, what);
}

// Asks the reader, under the limits for the file's size; a reader that stops or runs out of
// time on the file makes it a file that cannot be read.
void Ask(const std::string& file, const std::vector<std::string>& args, const reader::FrameHandler& onFrame) {
    struct stat st {};
    const uint64_t size = ::stat(file.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
    try {
        reader::Run(args, reader::LimitsFor(size), [&](frames::Tag tag, std::string_view payload) {
            if (tag == frames::kFailed) ThrowFailure(file, payload);
            onFrame(tag, payload);
        });
    } catch (const reader::Stopped& e) {
        throw NotExpected(file, fmt::format("cannot be read: {}", e.what()));
    }
}

// A cell's text in a Text column: numbers and dates as the layer writes them, Booleans as
// their names.
std::string CellText(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Boolean: return v.AsBool() ? "True" : "False";
        case Value::Kind::Long: return vb::NumberText(v.AsLong());
        case Value::Kind::Double: return vb::NumberText(v.AsDoubleValue());
        case Value::Kind::Date: return DateStorageText(v.AsDate().serial);
        case Value::Kind::Text: return v.AsText();
        default: return "";
    }
}

// The cell in its column's type (the reader chose the type so that every cell fits it).
Value InColumn(Value v, FieldType type) {
    if (v.IsNull()) return v;
    if ((type == dbText || type == dbMemo) && v.kind() != Value::Kind::Text) return Value(CellText(v));
    if (type == dbDouble && v.kind() == Value::Kind::Long) return Value(double(v.AsLong()));
    return v;
}

// The sheet's fields (named by its first row), then each row as its frame arrives.
void ReadSheet(const std::string& file, size_t index, TableSink& sink) {
    std::vector<Field> fields;
    std::vector<std::string> names;
    bool header = false, started = false;
    std::vector<Value> row;
    auto start = [&] {
        if (started) return;
        if (fields.size() > names.size()) throw std::out_of_range("a field without a name");
        for (size_t k = 0; k < fields.size(); ++k) fields[k].Name = names[k];
        sink.Fields(fields);
        started = true;
    };
    Ask(file, {"excel-sheet", file, std::to_string(index)}, [&](frames::Tag tag, std::string_view payload) {
        frames::Cursor c(payload);
        if (tag == frames::kField) {
            if (started || !header) throw std::out_of_range("a field out of place");
            Field f;
            f.Type = FieldType(c.Get<uint8_t>());
            f.Size = c.Get<int32_t>();
            fields.push_back(std::move(f));
        } else if (tag == frames::kRow && !header) {
            header = true;
            while (!c.AtEnd()) names.push_back(vb::Trim(CellText(reader::ReadCell(c))));
            MakeFieldNamesUnique(names);
        } else if (tag == frames::kRow) {
            start();
            row.clear();
            for (const Field& f : fields) row.push_back(InColumn(reader::ReadCell(c), f.Type));
            if (!c.AtEnd()) throw std::out_of_range("a row longer than its fields");
            sink.Row(row);
        }
    });
    start();
}

class ExcelDatabase : public ImportedDatabase {
public:
    ExcelDatabase(const std::string& file, std::string connect) : ImportedDatabase(file, std::move(connect)) {
        std::vector<std::string> sheets;
        Ask(file, {"excel-book", file}, [&](frames::Tag tag, std::string_view payload) {
            frames::Cursor c(payload);
            if (tag != frames::kTable) return;
            c.Get<uint32_t>();
            sheets.push_back(c.GetText());
        });
        if (sheets.empty()) throw NotExpected(file, "holds no worksheet");
        for (size_t s = 0; s < sheets.size(); ++s)
            sources_.emplace(vb::UCase(sheets[s]), Source{sheets[s], [file, s](TableSink& sink) { ReadSheet(file, s, sink); }, false, {}});
    }

protected:
    std::map<std::string, Source> Sources() const override { return sources_; }

private:
    std::map<std::string, Source> sources_;
};

}  // namespace

std::shared_ptr<Database> OpenExcelDatabase(const std::string& file, const std::string& connect) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        throw Error(errnum::kFileNotFound, fmt::format("Could not find file '{}'.", file));
    std::ifstream in(file, std::ios::binary);
    char head[4] = {};
    in.read(head, sizeof head);
    if (in.gcount() == 4 && std::string_view(head, 4) == std::string_view("PK\x03\x04", 4))
        throw Error(errnum::kNoInstallableIsam,
                    fmt::format("Could not find installable ISAM. '{}' is an Excel 2007 or later workbook (.xlsx), "
                                "which cannot be read here; save it as an Excel 97-2003 workbook (.xls).",
                                file));
    return std::make_shared<ExcelDatabase>(file, connect);
}

}  // namespace db
