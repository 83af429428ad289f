#include "app/result_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "search/result_output.h"
#include "services/http.h"
#include "util/gbk_text.h"

namespace app {
namespace {

bool EndsWithJson(const std::string& path) {
    if (path.size() < 5) return false;
    std::string tail = path.substr(path.size() - 5);
    for (char& c : tail) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return tail == ".json";
}

std::string Reason(const char* what, int error) {
    return std::string(what) + "：" + util::Utf8ToGbk(strerror(error));
}

}  // namespace

std::string SaveResultFile(const std::string& path, const search::SearchEngine& engine, int page,
                           const std::vector<std::vector<std::string>>& rows) {
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return Reason("无法在目标文件夹中创建文件", errno);

    int write_error = 0;
    const auto sink = [fd, &write_error](std::string_view bytes) {
        while (!bytes.empty() && write_error == 0) {
            const ssize_t written = write(fd, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR) continue;
            if (written < 0) {
                write_error = errno;
                return;
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
    };
    search::ResultWriter writer(EndsWithJson(path) ? search::OutputFormat::Json
                                                   : search::OutputFormat::Tsv,
                                sink);
    writer.Begin(engine.number, page, engine.columns);
    for (const std::vector<std::string>& cells : rows) writer.Row(cells);
    writer.End();
    if (write_error == 0 && fsync(fd) != 0) write_error = errno;
    if (close(fd) != 0 && write_error == 0) write_error = errno;
    if (write_error != 0) {
        unlink(temp.c_str());
        return Reason("写入文件失败", write_error);
    }
    // mkstemp creates the file for its owner alone; a saved page is an
    // ordinary file.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temp.c_str(), 0666 & ~mask);
    if (rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        return Reason("无法替换目标文件", error);
    }
    return {};
}

std::string SuggestedResultFileName(const std::string& keyword, int page) {
    constexpr std::size_t kMaxNameBytes = 100;
    const std::string_view text = keyword.empty() ? std::string_view("搜索结果") : keyword;
    std::string name;
    for (std::size_t at = 0; at < text.size() && name.size() < kMaxNameBytes;) {
        const std::size_t length = util::GbkCharLength(text, at);
        const auto byte = static_cast<unsigned char>(text[at]);
        // A two-byte character may end in "\"; only single bytes are checked.
        if (length == 1 && (byte < 0x20 || byte == 0x7F || byte == '/' || byte == '\\')) {
            name += '_';
        } else {
            name.append(text.substr(at, length));
        }
        at += length;
    }
    return name + "-第" + std::to_string(page) + "页.tsv";
}

}  // namespace app
