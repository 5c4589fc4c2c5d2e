#include "newfile/FileCreator.h"

#include <cerrno>
#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace larkspire::FileCreator {

namespace {

// The error numbers POSIX names; anything else is reported as an input/output error.
bool isKnownPosixError(int code) {
    static const std::set<int> known = {
        E2BIG,           EACCES,          EADDRINUSE, EADDRNOTAVAIL, EAFNOSUPPORT, EAGAIN,
        EALREADY,        EBADF,           EBADMSG,    EBUSY,         ECANCELED,    ECHILD,
        ECONNABORTED,    ECONNREFUSED,    ECONNRESET, EDEADLK,       EDESTADDRREQ, EDOM,
        EDQUOT,          EEXIST,          EFAULT,     EFBIG,         EHOSTUNREACH, EIDRM,
        EILSEQ,          EINPROGRESS,     EINTR,      EINVAL,        EIO,          EISCONN,
        EISDIR,          ELOOP,           EMFILE,     EMLINK,        EMSGSIZE,     EMULTIHOP,
        ENAMETOOLONG,    ENETDOWN,        ENETRESET,  ENETUNREACH,   ENFILE,       ENOBUFS,
        ENODEV,          ENOENT,          ENOEXEC,    ENOLCK,        ENOLINK,      ENOMEM,
        ENOMSG,          ENOPROTOOPT,     ENOSPC,     ENOSYS,        ENOTCONN,     ENOTDIR,
        ENOTEMPTY,       ENOTRECOVERABLE, ENOTSOCK,   ENOTSUP,       ENOTTY,       ENXIO,
        EOPNOTSUPP,      EOVERFLOW,       EOWNERDEAD, EPERM,         EPIPE,        EPROTO,
        EPROTONOSUPPORT, EPROTOTYPE,      ERANGE,     EROFS,         ESPIPE,       ESRCH,
        ESTALE,          ETIMEDOUT,       ETXTBSY,    EWOULDBLOCK,   EXDEV,
    };
    return known.count(code) > 0;
}

std::string joined(const std::string& directory, const std::string& name) {
    if (!directory.empty() && directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

}  // namespace

std::string candidateName(const std::string& name, int index) {
    if (index < 1) return name;
    auto dot = name.rfind('.');
    std::string number = std::to_string(index);
    if (dot != std::string::npos && dot > 0 && dot + 1 < name.size())
        return name.substr(0, dot) + " (" + number + ")." + name.substr(dot + 1);
    // No extension, or nothing before the full stop (".env"): the number goes at the end.
    return name + " (" + number + ")";
}

Result create(const std::string& directory, const std::string& name) {
    for (int index = 0; index < maximumAttempts; ++index) {
        std::string path = joined(directory, candidateName(name, index));
        int descriptor;
        do {
            // Exclusive creation tests and takes the name in one step, so a file made by another
            // process in the meantime is never overwritten.
            descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        } while (descriptor < 0 && errno == EINTR);
        if (descriptor >= 0) {
            ::close(descriptor);
            return Result{.path = path};
        }
        int code = errno;
        if (code == EEXIST) continue;
        return Result{.error = isKnownPosixError(code) ? code : EIO};
    }
    return Result{.error = EEXIST};
}

}  // namespace larkspire::FileCreator
