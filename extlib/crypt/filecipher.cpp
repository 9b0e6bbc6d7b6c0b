// M_FENCRPTW, M_FDECRPTW and their session variants M_FECRPTWX, M_FDCRPTWX:
// a whole file streamed through the cipher into another file, chunk by
// chunk, with one work buffer whatever the file's size.
//
// Opening the output empties it, so it is opened only after every check
// that can fail before the first byte is written: an unreadable input, an
// output that is the input itself (by any name: relative, other case, short
// name, link) or read-only, a key that cannot be made, no session, no work
// buffer. Such a failure leaves an existing output as it was and makes none;
// a failure while streaming leaves what was written so far.
#include <cstdio>
#include <io.h>

#include "chunks.h"
#include "cryptoapi.h"
#include "session.h"

#include "host/functions.h"
#include "host/handles.h"
#include "host/params.h"
#include "host/results.h"
#include "host/services.h"

namespace {

using namespace marvo;
using namespace marvo::crypt;

// The streams' own buffers: large enough that the system calls cost little
// next to the cipher, small and fixed whatever the file's size.
constexpr size_t kStreamBuffer = 64 * 1024;

// A standard library stream, closed at scope end.
class Stream {
  public:
    Stream(const char* name, const char* mode) : file_(std::fopen(name, mode))
    {
        if (file_)
            std::setvbuf(file_, nullptr, _IOFBF, kStreamBuffer);
    }
    ~Stream()
    {
        if (file_)
            std::fclose(file_);
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    std::FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }

  private:
    std::FILE* file_;
};

// A Windows file handle, closed at scope end.
class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

// Where the key comes from: a password's bytes, or the session (password null).
struct KeySource {
    const BYTE* password;
    DWORD length;
};

bool sameFileIdentity(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!GetFileInformationByHandle(a, &ia) || !GetFileInformationByHandle(b, &ib))
        return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

// True when `name` leads to the file open as `input`. A name that leads to
// no existing file cannot be it.
bool isInputFile(std::FILE* input, const char* name)
{
    FileHandle output(CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (output.get() == INVALID_HANDLE_VALUE)
        return false;
    auto in = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(input)));
    return sameFileIdentity(in, output.get());
}

// Windows refuses to open a read-only file for writing. Wine run by root
// opens it all the same (Unix lets root write any file, and Wine keeps the
// attribute in the file's mode), so the attribute is honoured here first.
bool isReadOnlyFile(const char* name)
{
    const DWORD attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
               FILE_ATTRIBUTE_READONLY;
}

// Reports the step of the stream that failed.
void reportStreamStep(StreamStep step, const Wording& wording, DWORD cipherCode)
{
    switch (step) {
    case StreamStep::Read:
        ReportError(wording.read, GetLastError());
        break;
    case StreamStep::Cipher:
        ReportError(wording.cipher, cipherCode);
        break;
    case StreamStep::Write:
        ReportError(wording.write, GetLastError());
        break;
    case StreamStep::Done:
        break;
    }
}

// CipherFile: true when the whole input went through into the output.
bool cipherFile(const char* inputName, const char* outputName, Direction direction,
                KeySource source)
{
    const Wording& wording = FileWording(direction);
    Stream input(inputName, "rb");
    if (!input) {
        ReportError(wording.openInput, GetLastError());
        return false;
    }
    if (isInputFile(input.get(), outputName)) {
        ReportError(wording.sameFile, ERROR_INVALID_PARAMETER);
        return false;
    }
    if (isReadOnlyFile(outputName)) {
        ReportError(wording.openOutput, ERROR_ACCESS_DENIED);
        return false;
    }
    KeyMaterial material;
    HCRYPTKEY key = SessionKey();
    DWORD code = 0;
    if (source.password) {
        if (!PreparePasswordKey(material, source.password, source.length, wording))
            return false;
        key = material.key.get();
    } else if (!key) {
        // No session: the cipher refuses the missing key, as it would the
        // first chunk, with the system's own code.
        BYTE none = 0;
        DWORD n = 0;
        if (!CipherChunk(key, direction, false, &none, n, 0, code)) {
            ReportError(wording.cipher, code);
            return false;
        }
    }
    // Decryption with a password never needs room beyond the chunk.
    bool byPassword = source.password != nullptr;
    WorkBuffer buffer = AllocateWorkBuffer(
        byPassword && direction == Direction::Decrypt ? kChunkLength : kWorkBufferSize);
    if (!buffer) {
        ReportError(wording.memory, ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    // Opened last: every failure known before the first byte is written
    // leaves an existing output as it was, and makes none.
    Stream output(outputName, "wb");
    if (!output) {
        ReportError(wording.openOutput, GetLastError());
        return false;
    }
    StreamStep step =
        CipherStream(input.get(), output.get(), buffer.get(), kChunkLength,
                     [&](BYTE* chunk, DWORD& n, bool final) {
                         return CipherChunk(key, direction, final, chunk, n, kWorkBufferSize, code);
                     });
    reportStreamStep(step, wording, code);
    if (step != StreamStep::Done && !byPassword && key)
        RestartKeyStream(key);
    return step == StreamStep::Done;
}

// A terminated copy of a file name parameter, locked for the scope.
class NameCopy {
  public:
    NameCopy(abi::ParamBlock* pb, int index)
        : copy_(ParamToTextHandle(pb, index)), lock_(copy_.get())
    {
        if (!lock_.data())
            RaiseHostError(kErrNotText);
    }
    const char* c_str() const { return lock_.data(); }

  private:
    OwnedHandle copy_;
    HandleLock lock_;
};

void fileWithPassword(abi::ParamBlock* pb, Direction direction)
{
    RequirePassword(pb, 3);
    bool ok;
    {
        NameCopy input(pb, 0);
        NameCopy output(pb, 1);
        LockedText password(pb, 3);
        OffsetPasswordBytes(password.data(), password.size(), LibraryPasswordOffset());
        KeySource source{reinterpret_cast<const BYTE*>(password.data()), password.size()};
        ok = cipherFile(input.c_str(), output.c_str(), direction, source);
    }
    ReturnLogical(ok);
}

void fileWithSession(abi::ParamBlock* pb, Direction direction)
{
    bool ok;
    {
        NameCopy input(pb, 0);
        NameCopy output(pb, 1);
        ok = cipherFile(input.c_str(), output.c_str(), direction, KeySource{nullptr, 0});
    }
    ReturnLogical(ok);
}

} // namespace

HOST_FUNCTION(M_FENCRPTW)
{
    fileWithPassword(pb, Direction::Encrypt);
}
HOST_FUNCTION(M_FDECRPTW)
{
    fileWithPassword(pb, Direction::Decrypt);
}
HOST_FUNCTION(M_FECRPTWX)
{
    fileWithSession(pb, Direction::Encrypt);
}
HOST_FUNCTION(M_FDCRPTWX)
{
    fileWithSession(pb, Direction::Decrypt);
}
