#pragma once
// Data set and result files. A failed open, write or close is reported once per file through the
// console, with the file's name and the system's reason, and remembered: a render stops when a
// file it writes could not be written, and the program's exit status says so.
#include <memory>
#include <ostream>
#include <string>

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
    template <class T>
    std::ostream& operator<<(const T& value) {
        return stream() << value;
    }
    std::ostream& operator<<(std::ostream& (*manipulator)(std::ostream&)) {
        return stream() << manipulator;
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
