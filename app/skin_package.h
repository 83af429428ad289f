#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

// The table of images cut from the skin file: resource n (from 1) is the
// n-th piece after the header and checksum pieces, kept byte for byte.
struct SkinPackage {
    std::vector<std::string> resources;

    // The bytes of resource `number` (1-based); empty for any number outside
    // the table, so a short package leaves the missing images blank.
    std::string Resource(int number) const;
};

// Reads, verifies and splits the package at `path`. `message` always receives
// one of "格式不规范", "校验头部未成功", "校验数据失败" or "解包成功" (GBK);
// `table` is replaced only when the result is true. Anything but a regular
// file, and files larger than kMaxSkinPackageBytes, count as unreadable.
// `read_error`, when given, receives why the file could not be read (the
// system's reason, ASCII), or is cleared when it was read.
bool LoadSkinPackage(const std::string& path, SkinPackage& table, std::string& message,
                     std::string* read_error = nullptr);

// The checks and the split of LoadSkinPackage over bytes already read.
bool ParseSkinPackage(std::string_view block, SkinPackage& table, std::string& message);

// Writes `resources` as a package that LoadSkinPackage accepts. The 7-byte
// separator is chosen deterministically so that the whole file splits back
// into exactly the header, the checksum and the given pieces. On failure the
// reason (plain ASCII) goes to `error` when given and false is returned.
bool WriteSkinPackage(const std::string& path, const std::vector<std::string>& resources,
                      std::string* error = nullptr);

// The same layout as bytes, without touching the file system. False (with
// `error` set) when the package would hold more than kMaxSkinResources
// resources or more than kMaxSkinPackageBytes bytes, which the loader
// refuses, or when no usable separator was found.
bool BuildSkinPackage(const std::vector<std::string>& resources, std::string& package,
                      std::string* error = nullptr);

// Skin packages hold a handful of images; anything this large is refused
// rather than read into memory.
inline constexpr std::size_t kMaxSkinPackageBytes = 64u * 1024u * 1024u;
// Likewise a package of more resources than this is malformed ("格式不规范").
inline constexpr std::size_t kMaxSkinResources = 4096;

// The 12 header bytes: "Skin_res" and 330388837 as a little-endian integer.
std::string SkinPackageHeader();

// MD5 of `data` as 32 lowercase hexadecimal digits.
std::string Md5Hex(const std::string& data);

// Why ReadWholeFile refused a path.
struct FileReadProblem {
    int system_error = 0;  // errno of the failed call; 0 when the file itself was refused
    std::string text;      // "No such file or directory", "not a regular file", ...
};

// Reads a whole regular file of at most `limit` bytes. The file is opened
// without blocking, so a FIFO or device never stalls the caller. Returns
// false for missing or unreadable paths, anything but a regular file, and
// larger files; `problem` (when given) then says which.
bool ReadWholeFile(const std::string& path, std::size_t limit, std::string& content,
                   FileReadProblem* problem = nullptr);


}  // namespace app
