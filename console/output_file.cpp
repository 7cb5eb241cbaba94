#include "console/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <locale>
#include <set>
#include <streambuf>
#include <utility>

#include "console/console.h"
#include "console/number_text.h"

namespace qv {
namespace {

bool anyFailure = false;
// Never destroyed: a file still open at exit may report its failure after static destruction began.
std::set<std::string>& reportedFiles = *new std::set<std::string>;

// A full disk fails every later write to the same file as well; one message per file is enough.
void reportFailure(const std::string& path, const char* what, int error) {
    anyFailure = true;
    if (!reportedFiles.insert(path).second) return;
    console::err() << '\n'
                   << "The file " << path << " cannot be " << what << ": " << std::strerror(error)
                   << '\n'
                   << '\n'
                   << std::flush;
}

int openFlags(FileMode mode) {
    return O_WRONLY | O_CREAT | O_CLOEXEC | (mode == FileMode::Append ? O_APPEND : O_TRUNC);
}

}  // namespace

// A stream buffer straight over the file descriptor, so that the reason given for a failed
// write is the error number of that very write, not of whatever ran after it.
struct OutputFile::File : std::streambuf {
    File(std::string name, int descriptor) : path(std::move(name)), fd(descriptor), stream(this) {
        setp(buffer.data(), buffer.data() + buffer.size());
        stream.imbue(std::locale::classic());
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() override { finish(); }

    int overflow(int c) override {
        if (!drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return drain() ? 0 : -1; }

    // Whether numbers may skip the stream: it writes them as number_text.h does.
    bool plain() const { return plainNumbers(stream); }
    void put(const char* text, std::size_t n) {
        if (static_cast<std::size_t>(epptr() - pptr()) >= n) {
            std::memcpy(pptr(), text, n);
            pbump(static_cast<int>(n));
        } else {
            stream.write(text, static_cast<std::streamsize>(n));
        }
    }
    // A number's text is formed in the buffer when it has room, else beside it.
    template <class Format>
    void putNumber(Format format) {
        if (epptr() - pptr() >= kNumberTextSize) {
            pbump(static_cast<int>(format(pptr()) - pptr()));
        } else {
            char text[kNumberTextSize];
            put(text, static_cast<std::size_t>(format(text) - text));
        }
    }

    // After the first failure the rest is dropped: the stream goes bad and writes nothing more.
    bool drain() {
        const char* next = pbase();
        while (!failed && next < pptr()) {
            const ssize_t n = ::write(fd, next, static_cast<std::size_t>(pptr() - next));
            if (n > 0) {
                next += n;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                failed = true;
                reportFailure(path, "written", n < 0 ? errno : ENOSPC);
            }
        }
        setp(buffer.data(), buffer.data() + buffer.size());
        return !failed;
    }

    void finish() {
        if (fd < 0) return;
        drain();
        // Some file systems report a lost write only when the file is closed.
        if (::close(fd) != 0 && !failed) {
            failed = true;
            reportFailure(path, "written", errno);
        }
        fd = -1;
    }

    std::string path;
    int fd;
    bool failed = false;
    std::array<char, 8192> buffer{};
    std::ostream stream;
};

OutputFile::OutputFile() = default;

OutputFile::OutputFile(const std::string& path, FileMode mode) {
    const int error = openQuietly(path, mode);
    if (error != 0) reportFailure(path, "opened", error);
}

OutputFile::OutputFile(OutputFile&&) noexcept = default;

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        close();
        file_ = std::move(other.file_);
    }
    return *this;
}

OutputFile::~OutputFile() {
    close();
}

int OutputFile::openQuietly(const std::string& path, FileMode mode) {
    close();
    const int fd = ::open(path.c_str(), openFlags(mode), 0666);
    if (fd < 0) return errno;
    file_ = std::make_unique<File>(path, fd);
    return 0;
}

std::ostream& OutputFile::stream() {
    if (file_) return file_->stream;
    static std::ostream nowhere(nullptr);
    return nowhere;
}

OutputFile& OutputFile::operator<<(std::string_view text) {
    if (file_ && file_->stream.good() && file_->stream.width() == 0)
        file_->put(text.data(), text.size());
    else
        stream() << text;
    return *this;
}

OutputFile& OutputFile::operator<<(double value) {
    if (file_ && file_->plain()) {
        const int precision = static_cast<int>(file_->stream.precision());
        file_->putNumber([&](char* at) { return realText(at, value, precision); });
    } else {
        stream() << value;
    }
    return *this;
}

OutputFile& OutputFile::operator<<(long long value) {
    if (file_ && file_->plain())
        file_->putNumber([&](char* at) { return integerText(at, value); });
    else
        stream() << value;
    return *this;
}

OutputFile& OutputFile::operator<<(unsigned long long value) {
    if (file_ && file_->plain())
        file_->putNumber([&](char* at) { return integerText(at, value); });
    else
        stream() << value;
    return *this;
}

void OutputFile::close() {
    if (!file_) return;
    file_->finish();
    file_.reset();
}

OutputFile openForAppend(const std::string& path) {
    return OutputFile(path, FileMode::Append);
}

OutputFile openForWrite(const std::string& path) {
    return OutputFile(path, FileMode::Replace);
}

bool writesFailed() {
    return anyFailure;
}

void clearWriteFailures() {
    anyFailure = false;
    reportedFiles.clear();
}

}  // namespace qv
