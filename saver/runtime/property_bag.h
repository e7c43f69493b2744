// The property bag: the named-value store in which a form keeps the settings of
// the controls placed on it, and the conversions a value goes through when a
// control assigns what it read to one of its members.
//
// Values are QVariants: text (QString), Booleans (bool), numbers (any integer or
// floating type) and font objects (vb::FontSpec, see FontValue). Names compare
// without regard to case, so a stored form may hold them in lower case.
#pragma once

#include <cstdint>
#include <vector>

#include <QString>
#include <QStringList>
#include <QVariant>

#include "saver/runtime/fonts.h"
#include "saver/runtime/vb_types.h"

namespace veltrane::vb {

// "Invalid property value": a value a property cannot take (a colour out of range).
inline constexpr int kErrInvalidPropertyValue = 380;

class PropertyBag {
 public:
  // The stored value under `name`, or `def` when the name is absent.
  QVariant ReadProperty(const QString& name, const QVariant& def = {}) const;

  // Stores `value` under `name`. A value equal to its default (after converting the
  // default to the value's type) is not stored, and an older value under the name
  // is dropped, so that reading it back gives the default.
  void WriteProperty(const QString& name, const QVariant& value, const QVariant& def = {});

  // Stores `value` as it is, as a saved form holds it (no default check).
  void Set(const QString& name, const QVariant& value);
  bool Contains(const QString& name) const;
  void Remove(const QString& name);
  int Count() const { return static_cast<int>(entries_.size()); }
  // The names in the order they were first stored, with the case they were stored in.
  QStringList Names() const;

 private:
  struct Entry {
    QString name;
    QVariant value;
  };
  const Entry* Find(const QString& name) const;
  std::vector<Entry> entries_;
};

// Font objects in a bag.
QVariant FontValue(const FontSpec& font);
bool IsFont(const QVariant& value);
FontSpec ToFont(const QVariant& value);  // Type mismatch (13) when not a font
bool SameFont(const FontSpec& a, const FontSpec& b);

// Conversions on assignment. Text is read as a number when it is one (blanks
// around it allowed; decimal with sign, fraction and exponent, or &H / &O);
// Empty (an invalid QVariant) converts to 0, False or "". A font object converts
// as its default member, the face name. A value that cannot be converted raises
// Type mismatch (13); one out of the target's range raises Overflow (6).
// Fractions go to the nearest integer, halves to the even neighbour.
Boolean VarToBoolean(const QVariant& value);
QString VarToText(const QVariant& value);
std::uint8_t VarToByte(const QVariant& value);
std::int16_t VarToInteger(const QVariant& value);
std::int32_t VarToLong(const QVariant& value);
double VarToDouble(const QVariant& value);

// A text read as a number, as above. "&H" with up to four hexadecimal digits is a
// 16-bit value ("&HFFFF" is -1), with five to eight a 32-bit one.
double TextToNumber(const QString& text);

}  // namespace veltrane::vb
