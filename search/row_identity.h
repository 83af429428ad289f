#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace search {

// What makes two result rows the same download, whichever site listed them:
// the BitTorrent info-hash of a magnet address ("urn:btih:" with 40 hex
// digits or 32 base32 characters, either case) or the hash of an ED2K file
// link ("ed2k://|file|NAME|SIZE|HASH|"). The identity is "btih:" or "ed2k:"
// and the hash in lower-case hex, so a hex and a base32 magnet of the same
// torrent agree. nullopt when no cell holds either.
std::optional<std::string> DownloadIdentity(const std::vector<std::string>& cells);
std::optional<std::string> DownloadIdentity(std::string_view text);

}  // namespace search
