#pragma once

// The settings file "Keldrin.xml": read once into memory, addressed by key paths whose parts,
// separated by backslashes, name nested elements below "Configuration"; every write makes the
// file current at once.

#include <QString>
#include <optional>

#include "platform/SettingsXml.h"

namespace keldrin::platform {

// Every character other than A-Z, a-z, 0-9, ':', '-', '.' and '_' becomes '_'.
QString MangleElementName(const QString& name);

// Value texts.
QString BooleanText(bool value);  // "TRUE" / "FALSE"
// "TRUE", "YES", "Y" / "FALSE", "NO", "N" in any case, else an integer (non-zero is true).
std::optional<bool> BooleanFromText(const QString& text);
// A decimal integer, optionally signed and surrounded by white space.
std::optional<int> IntegerFromText(const QString& text);
// A floating-point value as the ten bytes of its 80-bit extended form (little-endian
// mantissa, then sign and exponent), two upper-case hexadecimal digits each. Made from the
// bits of the double, so it is the same on every processor, and read back bit for bit.
QString ExtendedText(double value);
// Needs exactly 20 hexadecimal digits; an extended value beyond a double's range becomes an
// infinity, one below it zero, and the rest is rounded to the nearest double.
std::optional<double> ExtendedValue(const QString& text);

class SettingsStore {
  public:
    enum class Loaded {
        Read,        // the file was read
        Missing,     // no file: every read gives its default
        Unreadable,  // the file exists but cannot be read: it is left alone and never written
        SetAside,    // the file could not be parsed and was renamed to "<name>.bad"
    };
    struct LoadReport {
        Loaded outcome = Loaded::Missing;
        QString problem;  // for SetAside and Unreadable: what was wrong
    };

    explicit SettingsStore(QString fileName);

    // Reads the file into memory; called once.
    LoadReport load();
    const QString& fileName() const { return fileName_; }

    bool exists(const QString& keyPath) const;
    std::optional<QString> readText(const QString& keyPath) const;
    int readInteger(const QString& keyPath, int fallback) const;

    void writeText(const QString& keyPath, const QString& value);
    void writeInteger(const QString& keyPath, int value);
    void writeBoolean(const QString& keyPath, bool value);
    void writeExtended(const QString& keyPath, double value);

    // Writes made while a batch is open reach the file together when the last batch closes.
    class Batch {
      public:
        explicit Batch(SettingsStore& store) : store_(store) { ++store_.batchDepth_; }
        ~Batch() {
            if (--store_.batchDepth_ == 0 && store_.pending_) store_.makeCurrent();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

      private:
        SettingsStore& store_;
    };

    // Replaces the file with the tree in memory: a temporary file in the same folder renamed
    // over it, so that a reader or another instance never sees half a file. A file without write
    // permission is left alone; a failure is ignored (false).
    bool makeCurrent();

    const XmlElement& root() const { return root_; }

  private:
    const XmlElement* find(const QString& keyPath) const;
    XmlElement* make(const QString& keyPath);
    void written();

    QString fileName_;
    XmlElement root_;
    bool writable_ = true;
    int batchDepth_ = 0;
    bool pending_ = false;
};

}  // namespace keldrin::platform
