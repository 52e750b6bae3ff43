#include "platform/Files.h"

namespace verno::platform {

std::vector<std::string> SystemFiles::List(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

std::error_code SystemFiles::MakeFolders(const std::filesystem::path& folder) {
    if (folder.empty()) return {};
    const FileInfo info = Look(folder);
    if (info.kind == FileKind::Folder) return {};
    std::error_code ec;
    if (info.kind == FileKind::Link)
        return std::filesystem::is_directory(folder, ec) ? std::error_code() : std::make_error_code(std::errc::not_a_directory);
    if (info.kind != FileKind::Missing) return std::make_error_code(std::errc::not_a_directory);
    // The first folder that cannot be made is the cause to tell, not the missing file after it.
    if (folder.has_parent_path() && folder.parent_path() != folder)
        if (const std::error_code above = MakeFolders(folder.parent_path())) return above;
    if (!std::filesystem::create_directory(folder, ec)) {
        if (ec) return ec;
        return Look(folder).kind == FileKind::Folder ? std::error_code() : std::make_error_code(std::errc::not_a_directory);
    }
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    return {};
}

}  // namespace verno::platform
