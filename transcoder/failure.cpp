#include "transcoder/failure.h"

#include <cerrno>

namespace transcoder {

std::string systemErrorWords(int errorNumber) {
    switch (errorNumber) {
    case ENOENT:
        return "it does not exist";
    case ENOTDIR:
        return "a part of its path is not a folder";
    case EACCES:
    case EPERM:
        return "permission was refused";
    case EIO:
        return "the disk could not be read or written";
    case ENOSPC:
        return "the disk is full";
#ifdef EDQUOT
    case EDQUOT:
        return "the disk quota is used up";
#endif
    case EFBIG:
        return "the file grew larger than the disk takes";
    case ENAMETOOLONG:
        return "the name is too long";
    case ENOMEM:
        return "there is not enough memory";
    case EROFS:
        return "the disk is read-only";
    case EISDIR:
        return "it is a folder";
    case ELOOP:
        return "its path has too many links";
    case EINVAL:
        return "a value was refused";
    default:
        return "system error " + std::to_string(errorNumber);
    }
}

ExitCode writeFailureCode(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        return ExitCode::DiskFull;
    case ENAMETOOLONG:
        return ExitCode::NameTooLong;
    case EACCES:
    case EPERM:
    case EROFS:
        return ExitCode::OutputFolderNotWritable;
    case ENOMEM:
        return ExitCode::OutOfMemory;
    default:
        return ExitCode::WriteFailed;
    }
}

} // namespace transcoder
