#pragma once
// Data set and result files. A failed open, write or close is reported once per file through the
// console, with the file's name and the system's reason, and remembered: a render stops when a
// file it writes could not be written, and the program's exit status says so.
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace qv {

enum class FileMode { Append, Replace };

class OutputFile {
  public:
    OutputFile();  // no file: whatever is written is dropped
    OutputFile(const std::string& path, FileMode mode);
    OutputFile(OutputFile&&) noexcept;
    OutputFile& operator=(OutputFile&&) noexcept;
    ~OutputFile();

    // Opens without reporting or remembering a failure, for a dialogue that asks for another
    // name instead. Returns the system's error number, 0 when the file is open.
    int openQuietly(const std::string& path, FileMode mode);

    bool is_open() const { return file_ != nullptr; }
    // Numbers in the classic "C" locale, reals with six significant digits in general notation.
    std::ostream& stream();
    // The same bytes as stream() << value. Text, integers and reals go straight into the file's
    // buffer while the stream has no format flag or field width set (see number_text.h); the
    // rest, and everything after such a setting, goes through the stream.
    OutputFile& operator<<(std::string_view text);
    OutputFile& operator<<(const char* text) { return *this << std::string_view(text); }
    OutputFile& operator<<(const std::string& text) { return *this << std::string_view(text); }
    OutputFile& operator<<(char c) { return *this << std::string_view(&c, 1); }
    OutputFile& operator<<(double value);
    OutputFile& operator<<(float value) { return *this << static_cast<double>(value); }
    OutputFile& operator<<(int value) { return *this << static_cast<long long>(value); }
    OutputFile& operator<<(long value) { return *this << static_cast<long long>(value); }
    OutputFile& operator<<(long long value);
    OutputFile& operator<<(unsigned value) {
        return *this << static_cast<unsigned long long>(value);
    }
    OutputFile& operator<<(unsigned long value) {
        return *this << static_cast<unsigned long long>(value);
    }
    OutputFile& operator<<(unsigned long long value);
    template <class T>
    OutputFile& operator<<(const T& value) {
        stream() << value;
        return *this;
    }
    OutputFile& operator<<(std::ostream& (*manipulator)(std::ostream&)) {
        stream() << manipulator;
        return *this;
    }
    // Writes what is still buffered and closes the file; a failure is reported.
    void close();

  private:
    struct File;
    std::unique_ptr<File> file_;
};

OutputFile openForAppend(const std::string& path);
OutputFile openForWrite(const std::string& path);

// Whether any file of this run could not be opened, written or closed.
bool writesFailed();
// Forgets earlier failures (a test's fresh start).
void clearWriteFailures();

}  // namespace qv
