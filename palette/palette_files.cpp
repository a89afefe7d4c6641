#include "palette/palette_files.h"

#include <cstdio>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#endif

// On Windows every path goes to the system as UTF-16 converted from UTF-8 (the
// programs' narrow strings are UTF-8, see windows/utf8.rc): the C++ library's
// own paths there take narrow strings in another code page.

namespace {

enum class FileKind { missing, regular, other };
enum class Creation { created, nameTaken, refused };

#ifdef _WIN32
std::wstring wideFromUtf8(const std::string& text)
{
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::string utf8FromWide(const std::wstring& wide)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length,
                        nullptr, nullptr);
    return text;
}

// A handle that can do nothing but tell what the path is, after links; it
// neither reads nor writes, so nothing can block.
HANDLE queryHandle(const std::string& path)
{
    return CreateFileW(wideFromUtf8(path).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}
#endif

// What is at `path`, after links, told without opening it for reading or writing.
FileKind fileKindOf(const std::string& path)
{
#ifdef _WIN32
    // Devices such as NUL are told apart from files by the handle's type.
    const HANDLE file = queryHandle(path);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileKind::missing
                                                                              : FileKind::other;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool regular = GetFileType(file) == FILE_TYPE_DISK &&
                         GetFileInformationByHandle(file, &information) != 0 &&
                         (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    CloseHandle(file);
    return regular ? FileKind::regular : FileKind::other;
#else
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        return FileKind::missing;
    }
    return std::filesystem::is_regular_file(status) ? FileKind::regular : FileKind::other;
#endif
}

// Creates `path` as a new, empty file with the ordinary mode (0666 less the
// umask), unless anything is there already.
Creation createNewFile(const std::string& path)
{
#ifdef _WIN32
    const HANDLE file = CreateFileW(wideFromUtf8(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Creation::nameTaken
                                                                           : Creation::refused;
    }
    CloseHandle(file);
#else
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file < 0) {
        return errno == EEXIST ? Creation::nameTaken : Creation::refused;
    }
    close(file);
#endif
    return Creation::created;
}

// Gives the file at `to` the permission bits of the file at `from`.
void copyPermissions(const std::string& from, const std::string& to)
{
#ifdef _WIN32
    // Windows has no permission bits to keep; a read-only file stays
    // read-only by refusing to be replaced.
    (void)from;
    (void)to;
#else
    std::error_code error;
    const auto bits = std::filesystem::status(from, error).permissions();
    if (!error) {
        std::filesystem::permissions(to, bits & std::filesystem::perms::mask, error);
    }
#endif
}

// Puts `from` in the place of `to` in one step, replacing a file there.
bool renameOver(const std::string& from, const std::string& to)
{
#ifdef _WIN32
    // The C runtime's rename refuses to replace an existing file.
    return MoveFileExW(wideFromUtf8(from).c_str(), wideFromUtf8(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

void removeFile(const std::string& path)
{
#ifdef _WIN32
    DeleteFileW(wideFromUtf8(path).c_str());
#else
    std::remove(path.c_str());
#endif
}

// The file a path ends at after its symbolic links, so that a link is written
// through and stays a link.
std::string linkTarget(const std::string& path)
{
#ifdef _WIN32
    // Only a link to an existing file can be followed: the system names the
    // file the path opens.
    const HANDLE file = queryHandle(path);
    if (file == INVALID_HANDLE_VALUE) {
        return path;
    }
    std::wstring name(32768, L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
    CloseHandle(file);
    if (length == 0 || length >= name.size()) {
        return path;
    }
    name.resize(length);
    // "\\?\C:\..." is the plain "C:\..."; other forms are kept whole.
    if (name.rfind(L"\\\\?\\", 0) == 0 && name.size() > 6 && name[5] == L':') {
        name.erase(0, 4);
    }
    return utf8FromWide(name);
#else
    // Followed link by link, so that a link to a file yet to be made works too.
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path target = path;
    for (int hop = 0; hop < 40 && fs::is_symlink(target, error); ++hop) {
        const fs::path link = fs::read_symlink(target, error);
        if (error) {
            break;
        }
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    return target.string();
#endif
}

} // namespace

bool isRegularFile(const std::string& path)
{
    return fileKindOf(path) == FileKind::regular;
}

bool isReadableSeekableInput(std::ifstream& in)
{
    if (!in.is_open() || in.tellg() == std::streampos(-1)) {
        return false;
    }
    // Opening a directory succeeds on some systems; its first read fails.
    in.peek();
    if (in.bad()) {
        return false;
    }
    in.clear();
    return true;
}

bool areSameExistingFile(const std::string& first, const std::string& second)
{
#ifdef _WIN32
    const HANDLE one = queryHandle(first);
    const HANDLE other = queryHandle(second);
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    const bool same = one != INVALID_HANDLE_VALUE && other != INVALID_HANDLE_VALUE &&
                      GetFileInformationByHandle(one, &a) != 0 &&
                      GetFileInformationByHandle(other, &b) != 0 &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    if (one != INVALID_HANDLE_VALUE) {
        CloseHandle(one);
    }
    if (other != INVALID_HANDLE_VALUE) {
        CloseHandle(other);
    }
    return same;
#else
    std::error_code error;
    return std::filesystem::equivalent(first, second, error) && !error;
#endif
}

bool planOutput(const std::string& path, const std::string& program, OutputPlan& plan)
{
    const FileKind kind = fileKindOf(path);
    plan = {path, ""};
    if (kind == FileKind::other) {
        return true;
    }
    const std::string target = linkTarget(path);
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        std::string temporary = target;
        temporary.append(".").append(program).append("-").append(suffix).append(".tmp");
        const Creation creation = createNewFile(temporary);
        if (creation == Creation::created) {
            if (kind == FileKind::regular) {
                copyPermissions(target, temporary);
            }
            plan = {temporary, target};
            return true;
        }
        if (creation == Creation::refused) {
            break;
        }
    }
    // The folder refuses a new file: writing in place is all that is left,
    // and it can only work on an existing file.
    return kind == FileKind::regular;
}

bool putOutputInPlace(const OutputPlan& plan)
{
    return plan.finalPath.empty() || renameOver(plan.writePath, plan.finalPath);
}

void discardOutput(const OutputPlan& plan)
{
    if (!plan.finalPath.empty()) {
        removeFile(plan.writePath);
    }
}
