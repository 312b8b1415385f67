#pragma once

#include <QString>

// A read-only settings (INI) file, read the way the system's profile-string reader reads it.
// Opening the reader neither reads nor creates the file; every ReadString reads the file anew,
// and nothing is ever written.
class TIniFile {
public:
    // At most this many characters of a value (or of the default) are returned.
    static constexpr int MaxValueLength = 2047;

    explicit TIniFile(const QString& fileName);

    QString FileName() const { return fileName_; }

    // The value of the key in the section. Section and key names are matched without regard to
    // case, blanks around names and values are ignored, and one pair of matching quotes ('"' or
    // '\'') around a value is removed; the first matching section and the first matching key in
    // it win, and lines whose first character is ';' are comments. A key present with an empty
    // value gives "". A missing file, section or key gives the default, less its trailing blanks.
    QString ReadString(const QString& section, const QString& ident,
                       const QString& defaultValue) const;

private:
    QString fileName_;
};
