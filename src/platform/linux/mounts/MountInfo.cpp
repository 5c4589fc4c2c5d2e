#include "platform/linux/mounts/MountInfo.h"

#include "platform/types/Url.h"

namespace larkspire::linux_desktop {

namespace {

std::string unescaped(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            auto digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string_view::npos && digits[0] <= '3') {
                out.push_back(
                    static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    while (!line.empty()) {
        auto start = line.find_first_not_of(' ');
        if (start == std::string_view::npos) break;
        line.remove_prefix(start);
        auto end = line.find(' ');
        out.push_back(line.substr(0, end));
        line = end == std::string_view::npos ? std::string_view{} : line.substr(end);
    }
    return out;
}

// A host as a URL writes it: IPv6 addresses go in brackets.
std::string urlHost(std::string host) {
    if (host.find(':') != std::string::npos && !host.starts_with('[')) return "[" + host + "]";
    return host;
}

std::string withLeadingSlash(std::string path) {
    return path.starts_with('/') ? path : "/" + path;
}

}  // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    while (!text.empty()) {
        auto newline = text.find('\n');
        auto line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
        // id parent major:minor root mount-point options [optional fields…] - type source super-options
        auto parts = fields(line);
        std::size_t separator = 6;
        while (separator < parts.size() && parts[separator] != "-") ++separator;
        if (separator + 2 >= parts.size()) continue;
        entries.push_back(
            {unescaped(parts[4]), unescaped(parts[separator + 1]), unescaped(parts[separator + 2])});
    }
    return entries;
}

std::optional<std::string> remountUrl(const MountEntry& entry) {
    const auto& type = entry.fileSystemType;
    const auto& source = entry.source;
    if (type == "cifs" || type == "smb3" || type == "smbfs") {
        if (!source.starts_with("//")) return std::nullopt;
        auto rest = source.substr(2);
        auto slash = rest.find('/');
        if (slash == 0 || slash == std::string::npos) return std::nullopt;
        return "smb://" + urlHost(rest.substr(0, slash)) + percentEncodedPath(rest.substr(slash));
    }
    if (type == "nfs" || type == "nfs4") {
        auto colon = source.starts_with('[') ? source.find("]:") + 1 : source.find(':');
        if (colon == 0 || colon == std::string::npos || colon >= source.size()) return std::nullopt;
        auto host = source.substr(0, colon);
        return "nfs://" + (host.starts_with('[') ? host : urlHost(host)) +
               percentEncodedPath(withLeadingSlash(source.substr(colon + 1)));
    }
    if (type == "fuse.sshfs") {
        auto colon = source.find(':');
        if (colon == 0 || colon == std::string::npos) return std::nullopt;
        auto authority = source.substr(0, colon);
        auto at = authority.rfind('@');
        auto host = at == std::string::npos ? authority : authority.substr(at + 1);
        auto user = at == std::string::npos ? std::string{} : authority.substr(0, at + 1);
        return "sftp://" + user + urlHost(host) +
               percentEncodedPath(withLeadingSlash(source.substr(colon + 1)));
    }
    return std::nullopt;
}

}  // namespace larkspire::linux_desktop
