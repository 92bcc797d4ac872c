// The compound file (OLE2) around a workbook, opened with libgsf, which reads its sector
// chains and its mini stream; the records inside are ours (xls_book.h). A file is read whole:
// a workbook is at most some tens of megabytes, and the reader's time and size limits bound it.
#include "platform/db/reader/xls_file.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>
#include <strings.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/db/reader/xls_book.h"

namespace xls {
namespace {

using namespace db::frames;

[[noreturn]] void Refuse(const std::string& what) { throw Refused{kDamaged, what}; }

template <typename T>
using GPtr = std::unique_ptr<T, void (*)(T*)>;
template <typename T>
GPtr<T> Own(T* p) {
    return GPtr<T>(p, [](T* q) {
        if (q) g_object_unref(q);
    });
}

std::string ReadStream(GsfInput* stream) {
    const gsf_off_t size = gsf_input_size(stream);
    if (size < 0 || size > (gsf_off_t(1) << 30)) Refuse("has a workbook stream of an impossible size");
    std::string bytes(size_t(size), '\0');
    if (size > 0 && !gsf_input_read(stream, size_t(size), reinterpret_cast<guint8*>(bytes.data())))
        Refuse("has a workbook stream that cannot be read");
    return bytes;
}

std::string BaseName(const std::string& file) {
    std::string name = file.substr(file.rfind('/') + 1);
    if (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

Book OpenBook(const std::string& file) {
    try {
        return Book(WorkbookBytes(file), BaseName(file));
    } catch (const Unreadable& e) {
        Refuse(e.what());
    } catch (const Protected&) {
        throw Refused{kEncrypted, ""};
    }
}

}  // namespace

std::string WorkbookBytes(const std::string& file) {
    static const char kCompound[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    std::ifstream in(file, std::ios::binary);
    if (!in) Refuse(std::string("cannot be opened (") + std::strerror(errno) + ")");
    char head[8] = {};
    in.read(head, sizeof head);
    if (in.gcount() == sizeof head && std::memcmp(head, kCompound, sizeof head) == 0) {
        in.close();
        GError* error = nullptr;
        auto input = Own(gsf_input_stdio_new(file.c_str(), &error));
        if (error) g_error_free(error), error = nullptr;
        if (!input) Refuse("cannot be opened");
        auto ole = Own(reinterpret_cast<GsfInfile*>(gsf_infile_msole_new(input.get(), &error)));
        if (error) g_error_free(error);
        if (!ole) Refuse("has a compound file that cannot be read");
        // Excel 97 and later name the stream "Workbook", Excel 5.0 and 95 "Book".
        for (const char* wanted : {"Workbook", "Book"}) {
            for (int i = 0; i < gsf_infile_num_children(ole.get()); ++i) {
                const char* name = gsf_infile_name_by_index(ole.get(), i);
                if (!name || strcasecmp(name, wanted) != 0) continue;
                auto stream = Own(gsf_infile_child_by_index(ole.get(), i));
                if (!stream) Refuse("has a workbook stream that cannot be read");
                return ReadStream(stream.get());
            }
        }
        Refuse("holds no workbook stream");
    }
    in.clear();
    in.seekg(0);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return bytes;
}

void SendBook(const std::string& file, const FrameOut& out) {
    const Book book = OpenBook(file);
    for (const std::string& name : book.SheetNames()) {
        Payload p;
        p.Put(uint32_t(0));
        p.PutText(name);
        out(kTable, p);
    }
    out(kEnd, Payload());
}

void SendSheet(const std::string& file, const std::string& index, const FrameOut& out) {
    const Book book = OpenBook(file);
    char* end = nullptr;
    const unsigned long n = std::strtoul(index.c_str(), &end, 10);
    if (index.empty() || *end != '\0' || n >= book.SheetNames().size()) Refuse("has no sheet " + index);
    Sheet sheet;
    try {
        sheet = book.ReadSheet(n);
    } catch (const Unreadable& e) {
        Refuse(e.what());
    }
    const std::vector<JetType> types = ColumnTypes(sheet);
    Payload p;
    auto cell = [&](const Cell& v) {
        switch (v.kind) {
            case Kind::None:
            case Kind::Empty: p.Put(uint8_t(kNull)); break;
            case Kind::Boolean: p.Put(uint8_t(db::frames::kBoolean)); p.Put(uint8_t(v.number != 0)); break;
            case Kind::Whole: p.Put(uint8_t(db::frames::kLong)); p.Put(int32_t(v.number)); break;
            case Kind::Number: p.Put(uint8_t(db::frames::kDouble)); p.Put(v.number); break;
            case Kind::Date: p.Put(uint8_t(db::frames::kDate)); p.Put(v.number); break;
            case Kind::Text: p.Put(uint8_t(db::frames::kText)); p.PutText(sheet.texts[v.text]); break;
        }
    };
    auto row = [&](size_t r) {
        p.clear();
        for (size_t c = 0; c < types.size(); ++c) cell(r < sheet.rows.size() ? sheet.At(r, c) : Cell{});
        out(kRow, p);
    };
    row(0);
    for (const JetType t : types) {
        p.clear();
        p.Put(uint8_t(t));
        p.Put(int32_t(t == kText ? 255 : 0));
        p.PutText("");
        out(kField, p);
    }
    for (size_t r = 1; r < sheet.rows.size(); ++r) row(r);
    out(kEnd, Payload());
}

}  // namespace xls
