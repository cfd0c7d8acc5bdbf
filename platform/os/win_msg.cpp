#include "platform/os/win_msg.h"

#include <cerrno>

namespace ov::os {

int winErrorFromErrno(int err) {
  switch (err) {
    case 0: return winerr::kSuccess;
    case ENOENT: return winerr::kFileNotFound;
    case ENOTDIR: return winerr::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return winerr::kAccessDenied;
    case ENOMEM: return winerr::kNotEnoughMemory;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK: return winerr::kSharingViolation;
    case ENOSPC:
    case EDQUOT: return winerr::kDiskFull;
    case EEXIST:
    case ENOTEMPTY: return winerr::kAlreadyExists;
    case EINVAL:
    case ENAMETOOLONG: return winerr::kInvalidParameter;
    case ECANCELED: return winerr::kCancelled;
    default: return winerr::kInvalidFunction;
  }
}

}  // namespace ov::os
