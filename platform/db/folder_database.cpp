// A folder of files as a read-only database (Jet's text and dBase connects): each file of the
// format is a table named by its base name, read by the format's importer the first time a
// query names it.
#include <dirent.h>
#include <fmt/format.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <map>

#include "platform/db/imported_database.h"
#include "platform/vb/strings.h"

namespace db {
namespace {

using Importer = std::function<void(const std::string& path, TableSink& sink)>;

class FolderDatabase : public ImportedDatabase {
public:
    FolderDatabase(std::string folder, std::string connect, std::vector<std::string> extensions, Importer importer)
        : ImportedDatabase(folder, std::move(connect)),
          folder_(std::move(folder)),
          extensions_(std::move(extensions)),
          importer_(std::move(importer)) {}

protected:
    // The folder's files of the format by upper-cased table name; a second file with the same
    // base name (cars.txt after cars.csv) is the table "base#ext".
    std::map<std::string, Source> Sources() const override {
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(folder_.c_str())) {
            while (dirent* e = ::readdir(dir)) names.emplace_back(e->d_name);
            ::closedir(dir);
        }
        std::sort(names.begin(), names.end());
        std::map<std::string, Source> out;
        for (const std::string& n : names) {
            size_t dot = n.rfind('.');
            if (dot == std::string::npos || dot == 0) continue;
            std::string ext = vb::UCase(n.substr(dot + 1));
            if (std::find(extensions_.begin(), extensions_.end(), ext) == extensions_.end()) continue;
            std::string path = folder_ + "/" + n;
            struct stat st {};
            if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            std::string table = n.substr(0, dot);
            if (out.count(vb::UCase(table))) table += "#" + n.substr(dot + 1);
            out.emplace(vb::UCase(table), Source{table, [importer = importer_, path](TableSink& sink) { importer(path, sink); }, false, path});
        }
        return out;
    }

private:
    std::string folder_;
    std::vector<std::string> extensions_;
    Importer importer_;
};

void CheckFolder(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw Error(3044, fmt::format("'{}' is not a valid path. Make sure that the path name is spelled correctly "
                                      "and that you are connected to the server on which the file resides.",
                                      folder));
}

}  // namespace

std::shared_ptr<Database> OpenTextDatabase(const std::string& folder, const std::string& connect) {
    CheckFolder(folder);
    const std::string upper = vb::UCase(connect);
    const bool header = upper.find("HDR=NO") == std::string::npos;
    char delimiter = 0;
    if (upper.find("FMT=TABDELIMITED") != std::string::npos) delimiter = '\t';
    else if (upper.find("FMT=CSVDELIMITED") != std::string::npos) delimiter = ',';
    else if (size_t p = upper.find("FMT=DELIMITED("); p != std::string::npos && p + 15 < connect.size() &&
                                                     connect[p + 15] == ')')
        delimiter = connect[p + 14];
    return std::make_shared<FolderDatabase>(
        folder, connect, std::vector<std::string>{"TXT", "CSV", "TAB", "ASC"},
        [header, delimiter](const std::string& path, TableSink& sink) { ReadDelimitedFile(path, header, delimiter, sink); });
}

std::shared_ptr<Database> OpenDbaseDatabase(const std::string& folder, const std::string& connect) {
    CheckFolder(folder);
    return std::make_shared<FolderDatabase>(folder, connect, std::vector<std::string>{"DBF"}, ReadDbfFile);
}

}  // namespace db
