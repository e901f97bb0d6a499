#include "output.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporary file of the output being written, for the signal handler;
// empty when there is none.
char pendingTemporary[PATH_MAX + 32];
const int kSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGXFSZ, SIGXCPU, SIGALRM, SIGPIPE};
struct sigaction previousActions[std::size(kSignals)];

extern "C" void removeTemporaryAndDie(int signal)
{
    if (pendingTemporary[0])
        unlink(pendingTemporary);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void watchSignals(const QByteArray &temporary)
{
    std::memcpy(pendingTemporary, temporary.constData(), size_t(temporary.size()) + 1);
    struct sigaction action = {};
    action.sa_handler = removeTemporaryAndDie;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &action, &previousActions[i]);
}

void unwatchSignals()
{
    for (size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &previousActions[i], nullptr);
    pendingTemporary[0] = 0;
}

QByteArray directoryOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// The path with its symbolic links followed to the file they lead to, which
// need not exist yet. ELOOP where the links go round.
QByteArray followLinks(QByteArray path, int &error)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        QByteArray link(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = readlink(path.constData(), link.data(), size_t(link.size()));
        if (n < 0 || n >= link.size())
            return path;
        link.truncate(n);
        path = link.startsWith('/') ? link : directoryOf(path) + '/' + link;
    }
    error = ELOOP;
    return path;
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

OutputFile::OutputFile(const QString &path)
    : path(path)
{}

OutputFile::~OutputFile()
{
    discard();
}

RenderStatus OutputFile::open()
{
    if (path.isEmpty()) {
        fd = STDOUT_FILENO;
        return {};
    }
    int error = 0;
    target = followLinks(QFile::encodeName(path), error);
    if (error)
        return failed(error);
    struct stat old;
    const bool exists = stat(target.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return failed(EISDIR);
    if (exists && !S_ISREG(old.st_mode)) {
        // A device or a pipe takes the bytes as they come.
        fd = ::open(target.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        return fd < 0 ? failed(errno) : RenderStatus();
    }
    if (exists && access(target.constData(), W_OK) != 0)
        return failed(errno);

    temporary = directoryOf(target) + "/.tavlo-render-XXXXXX";
    if (temporary.size() >= qsizetype(sizeof pendingTemporary)) {
        temporary.clear();
        return failed(ENAMETOOLONG);
    }
    fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        const int why = errno;
        temporary.clear();
        return failed(why);
    }
    watchSignals(temporary);
    if (exists) {
        // The replacement takes the old file's owner (root can give it) and mode.
        if (fchown(fd, old.st_uid, old.st_gid) != 0 && old.st_uid != geteuid())
            return failed(EPERM);
        if (fchmod(fd, old.st_mode & 07777) != 0)
            return failed(errno);
    } else {
        // What open(..., 0666) would have given a new file.
        const mode_t mask = umask(0);
        umask(mask);
        if (fchmod(fd, 0666 & ~mask) != 0)
            return failed(errno);
    }
    return {};
}

RenderStatus OutputFile::write(const QByteArray &bytes)
{
    const char *p = bytes.constData();
    for (qsizetype left = bytes.size(); left > 0;) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failed(errno);
        p += n;
        left -= n;
    }
    return {};
}

RenderStatus OutputFile::commit()
{
    if (fd == STDOUT_FILENO) {
        fd = -1;
        return {};
    }
    const int closed = close(fd);
    fd = -1;
    if (closed != 0)
        return failed(errno);
    if (!temporary.isEmpty()) {
        if (rename(temporary.constData(), target.constData()) != 0)
            return failed(errno);
        temporary.clear();
        unwatchSignals();
    }
    return {};
}

RenderStatus OutputFile::failed(int error)
{
    discard();
    const QString why = errorText(error);
    return failure(ExitOutput, path.isEmpty()
                                   ? QStringLiteral("cannot write to standard output: %1").arg(why)
                                   : QStringLiteral("cannot write '%1': %2").arg(path, why));
}

void OutputFile::discard()
{
    if (fd >= 0 && fd != STDOUT_FILENO)
        close(fd);
    fd = -1;
    if (!temporary.isEmpty()) {
        unlink(temporary.constData());
        temporary.clear();
        unwatchSignals();
    }
}

bool isSameFile(const QString &a, const QString &b)
{
    struct stat sa, sb;
    return stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}
