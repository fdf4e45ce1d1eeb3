// INI store: an in-memory list of sections of tagged items that is read from
// and written to the program's INI-style text files (settings, parameter
// file, templates). Plain C++17 and POSIX; no Qt.
//
// Every operation returns 0 or a positive value on success and a negative
// code from the list below on failure. Section names and tags are looked up
// without regard to letter case and to blanks around them; where several
// match, the first one counts.
#pragma once

#include <cstddef>
#include <string>

struct IniStore;
using IniText = IniStore *;

constexpr int kIniErrOutOfMemory = -12;
constexpr int kIniErrOpenForRead = -5001;
constexpr int kIniErrRead = -5002;
constexpr int kIniErrNoTempName = -5003;
constexpr int kIniErrCreateTemp = -5004;
constexpr int kIniErrOpenForWrite = -5005; // target missing directory, not writable, not a plain file
constexpr int kIniErrWrite = -5006;        // write, flush or close of the temporary file failed
constexpr int kIniErrReplace = -5007;      // the temporary file could not be renamed onto the target
constexpr int kIniErrInvalidName = -5008;  // a put with a section name or tag the file cannot hold
constexpr int kIniErrInvalidArgument = -5009;
constexpr int kIniErrFileTooLarge = -5010; // a file longer than kIniMaxFileSize
constexpr int kIniErrInvalidInt = -5021;
constexpr int kIniErrInvalidUInt = -5022;
constexpr int kIniErrInvalidDouble = -5023;
constexpr int kIniErrInvalidBoolean = -5024;
constexpr int kIniErrInvalidData = -5025; // a byte block whose text is not a valid encoding

// How a boolean item is written.
constexpr char kIniTrue[] = "True";
constexpr char kIniFalse[] = "False";

// sorted != 0: sections kept in name order, items in tag order (letter case
// ignored); otherwise in the order added or read. nullptr when memory runs out.
IniText Ini_New(int sorted);
void Ini_Dispose(IniText ini);

// Longest file Ini_ReadFromFile reads, far above any file the program
// writes; a longer one is refused before it fills the memory.
constexpr long long kIniMaxFileSize = 16 * 1024 * 1024;

// Adds the sections of a file (or of a text in memory) to the store. Only a
// plain file is read: a directory, FIFO or device gives kIniErrOpenForRead
// without waiting on it, a file over kIniMaxFileSize kIniErrFileTooLarge. On
// any failure the store is left as it was.
int Ini_ReadFromFile(IniText ini, const char *path);
int Ini_ReadFromBuffer(IniText ini, const char *text, std::size_t size);

// Writes the whole store. The target is replaced only once the complete text
// is on disk in a temporary file beside it; on failure it stays as it was.
int Ini_WriteToFile(IniText ini, const char *path);
// The same for a file that holds a secret: readable and writable by its
// owner alone (0600) from the first byte on, whatever it was before.
int Ini_WriteToFileOwnerOnly(IniText ini, const char *path);
// The exact text Ini_WriteToFile writes.
int Ini_WriteToString(IniText ini, std::string *text);

int Ini_SectionExists(IniText ini, const char *section); // 1 or 0
int Ini_RemoveSection(IniText ini, const char *section); // 1 when the first such section was removed
int Ini_RemoveItem(IniText ini, const char *section, const char *tag); // 1 when items were removed

// Puts replace every item of the tag (at the first one's place) and create
// the section when missing. 0, kIniErrOutOfMemory, kIniErrInvalidName, or
// kIniErrInvalidArgument for null pointers.
int Ini_PutInt(IniText ini, const char *section, const char *tag, int value);
int Ini_PutUInt(IniText ini, const char *section, const char *tag, unsigned value);
int Ini_PutDouble(IniText ini, const char *section, const char *tag, double value);
int Ini_PutBoolean(IniText ini, const char *section, const char *tag, int value);
int Ini_PutString(IniText ini, const char *section, const char *tag, const char *value);
// Stores the text as it is (quoted, not escaped); only carriage returns and
// line feeds are escaped, as they would break the file's lines.
int Ini_PutRawString(IniText ini, const char *section, const char *tag, const char *value);
int Ini_PutData(IniText ini, const char *section, const char *tag, const unsigned char *data, std::size_t count);

// Typed getters: 1 and *value set when the item holds a valid value; 0 when
// the section or item is missing or the value is blank; a negative code when
// the value is invalid. *value is changed only on 1.
int Ini_GetInt(IniText ini, const char *section, const char *tag, int *value);
int Ini_GetUInt(IniText ini, const char *section, const char *tag, unsigned *value);
int Ini_GetDouble(IniText ini, const char *section, const char *tag, double *value);
int Ini_GetBoolean(IniText ini, const char *section, const char *tag, int *value);
// 1 found, 0 missing. The buffer is set to "" first (unless bufferSize is 0),
// then receives the unescaped value cut to bufferSize - 1 bytes.
int Ini_GetStringIntoBuffer(IniText ini, const char *section, const char *tag, char *buffer,
                            std::size_t bufferSize);
// 1 found (*value = the whole unescaped value), 0 missing.
int Ini_GetStdString(IniText ini, const char *section, const char *tag, std::string *value);
// 1 found: *data is a new block (never nullptr, even for 0 bytes) that the
// caller frees with std::free. 0 missing; kIniErrInvalidData when the text is
// not an encoded byte block.
int Ini_GetData(IniText ini, const char *section, const char *tag, unsigned char **data, std::size_t *count);

// Walking the store. Indexes count from 0 in store order; the names returned
// stay valid until the store is next changed. nullptr when out of range.
int Ini_NumberOfSections(IniText ini);
const char *Ini_NthSectionName(IniText ini, int index);
int Ini_NumberOfItems(IniText ini, const char *section); // of the first section of that name; 0 when missing
const char *Ini_NthItemName(IniText ini, const char *section, int index);

// The text of one of the store's codes; "" for any other code.
const char *Ini_ErrorText(int code);

// Owns a store for one scope.
class IniHolder {
public:
    explicit IniHolder(int sorted) : ini_(Ini_New(sorted)) {}
    ~IniHolder() { Ini_Dispose(ini_); }
    IniHolder(const IniHolder &) = delete;
    IniHolder &operator=(const IniHolder &) = delete;
    IniText get() const { return ini_; }
    operator IniText() const { return ini_; }

private:
    IniText ini_;
};
