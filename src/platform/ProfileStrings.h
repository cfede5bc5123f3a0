#pragma once

// Profile-string files: the "[section]" / "key=value" text files that projects are stored in.
//
// Reading: sections and keys are found regardless of letter case (Latin-1), blanks around
// names and values are dropped, one pair of enclosing single or double quotes is dropped from a
// value and a value is cut at 2047 bytes. A missing or unreadable file reads as empty.
//
// Writing: a key is updated where it stands; the file, the section or the key is created when
// missing; every other section, key, comment and line end stays as it was. New lines get the
// line end the file already uses (CR LF for a new file). The file is replaced in one step, so a
// failed write leaves the previous content.
//
// Everything is 8-bit: names and values are bytes.
//
// Each call outside a session reads (and, for a write, writes) the whole file, which is right
// for a handful of values. Code that reads or writes many values of one file opens a
// `ProfileSession` on it: the file is parsed once, reads come from memory and writes are kept in
// memory until the session commits.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <memory>
#include <optional>

namespace keldrin::platform {

// Longest value a read gives back, in bytes.
constexpr int kProfileValueMax = 2047;

// The value of `key` in `section`, or nothing when the file, the section or the key is missing.
std::optional<QByteArray> ReadProfileValue(const QString& fileName, const QByteArray& section,
                                           const QByteArray& key);

// The value of `key` in `section`, or `defaultValue` when it is missing.
QByteArray ReadProfileString(const QString& fileName, const QByteArray& section,
                             const QByteArray& key, const QByteArray& defaultValue);

// Writes `value` under `section` / `key`. False when the file cannot be written or when a name
// or the value would break the layout (a line break anywhere; an empty name; "]" in a section
// name; "=" in a key, or a key starting with "[" or ";"). The value is stored as given: blanks
// and quotes around it are the caller's business.
bool WriteProfileString(const QString& fileName, const QByteArray& section, const QByteArray& key,
                        const QByteArray& value);

// Removes every section of that name with all its lines. True when the file holds no such
// section afterwards (also when it never did).
bool RemoveProfileSection(const QString& fileName, const QByteArray& section);

// Section names in file order, as written (blanks around them dropped).
QByteArrayList ProfileSectionNames(const QString& fileName);

// Holds one file parsed in memory while it lives. The first change made during a session is
// written through at once, so a file that cannot be written fails at the first write; later
// changes are written by `commit()` or when the last session of the file ends. Sessions of the
// same file nest and share one document. Used on one thread at a time.
class ProfileSession {
  public:
    explicit ProfileSession(const QString& fileName);
    ~ProfileSession();  // commits what is pending; a failure there is only visible to commit()
    ProfileSession(const ProfileSession&) = delete;
    ProfileSession& operator=(const ProfileSession&) = delete;

    // Writes pending changes to the file; true when nothing is pending afterwards.
    bool commit();

  private:
    QString key_;
};

}  // namespace keldrin::platform
