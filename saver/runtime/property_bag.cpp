#include "saver/runtime/property_bag.h"

#include <cmath>
#include <limits>

#include <QMetaType>
#include <QRegularExpression>

namespace veltrane::vb {

namespace {

bool IsNumberType(int type) {
  switch (type) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
      return true;
    default:
      return false;
  }
}

bool IsTextType(int type) { return type == QMetaType::QString || type == QMetaType::QByteArray; }

double HexOrOctal(const QString& digits, int base) {
  if (digits.isEmpty()) throw RuntimeError(kErrTypeMismatch);
  bool ok = false;
  qulonglong v = digits.toULongLong(&ok, base);
  if (!ok) throw RuntimeError(kErrTypeMismatch);
  // As the shell's literals: a value that fits 16 bits is a 16-bit one, else 32-bit;
  // both wrap into the signed range.
  if (v <= 0xFFFF) return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(v)));
  if (v <= 0xFFFFFFFFull) return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
  throw RuntimeError(kErrOverflow);
}

}  // namespace

// ---- the bag ----

const PropertyBag::Entry* PropertyBag::Find(const QString& name) const {
  for (const Entry& e : entries_)
    if (QString::compare(e.name, name, Qt::CaseInsensitive) == 0) return &e;
  return nullptr;
}

QVariant PropertyBag::ReadProperty(const QString& name, const QVariant& def) const {
  const Entry* e = Find(name);
  return e ? e->value : def;
}

bool PropertyBag::Contains(const QString& name) const { return Find(name) != nullptr; }

void PropertyBag::Set(const QString& name, const QVariant& value) {
  if (auto* e = const_cast<Entry*>(Find(name))) {
    e->value = value;
    return;
  }
  entries_.push_back({name, value});
}

void PropertyBag::Remove(const QString& name) {
  std::erase_if(entries_, [&](const Entry& e) {
    return QString::compare(e.name, name, Qt::CaseInsensitive) == 0;
  });
}

QStringList PropertyBag::Names() const {
  QStringList names;
  for (const Entry& e : entries_) names << e.name;
  return names;
}

namespace {
// Whether `value` equals `def` once the default is converted to the value's type.
// A default that cannot be converted is not equal.
bool EqualsDefault(const QVariant& value, const QVariant& def) {
  if (!def.isValid()) return false;
  int type = value.typeId();
  try {
    if (IsFont(value)) return IsFont(def) && SameFont(ToFont(value), ToFont(def));
    if (IsTextType(type)) return VarToText(value) == VarToText(def);
    if (type == QMetaType::Bool) return VarToBoolean(value) == VarToBoolean(def);
    if (IsNumberType(type)) return VarToDouble(value) == VarToDouble(def);
  } catch (const RuntimeError&) {
    return false;
  }
  return false;
}
}  // namespace

void PropertyBag::WriteProperty(const QString& name, const QVariant& value, const QVariant& def) {
  if (EqualsDefault(value, def)) {
    Remove(name);
    return;
  }
  Set(name, value);
}

// ---- fonts ----

QVariant FontValue(const FontSpec& font) { return QVariant::fromValue(font); }

bool IsFont(const QVariant& value) { return value.metaType() == QMetaType::fromType<FontSpec>(); }

FontSpec ToFont(const QVariant& value) {
  if (!IsFont(value)) throw RuntimeError(kErrTypeMismatch);
  return value.value<FontSpec>();
}

bool SameFont(const FontSpec& a, const FontSpec& b) {
  // Face names compare without regard to case, as the system's font names do.
  return QString::compare(QString::fromStdString(a.Name), QString::fromStdString(b.Name),
                          Qt::CaseInsensitive) == 0 &&
         a.Size == b.Size && a.Weight == b.Weight && a.Italic == b.Italic &&
         a.Underline == b.Underline && a.Strikethrough == b.Strikethrough &&
         a.Charset == b.Charset;
}

// ---- conversions ----

double TextToNumber(const QString& text) {
  QString t = text.trimmed();
  if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) return HexOrOctal(t.mid(2), 16);
  if (t.startsWith(QLatin1String("&O"), Qt::CaseInsensitive)) return HexOrOctal(t.mid(2), 8);
  static const QRegularExpression kDecimal(
      QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eEdD][+-]?\\d+)?$"));
  if (!kDecimal.match(t).hasMatch()) throw RuntimeError(kErrTypeMismatch);
  t.replace(QLatin1Char('d'), QLatin1Char('e')).replace(QLatin1Char('D'), QLatin1Char('e'));
  bool ok = false;
  double v = t.toDouble(&ok);
  if (!ok || !std::isfinite(v)) throw RuntimeError(kErrOverflow);
  return v;
}

double VarToDouble(const QVariant& value) {
  if (!value.isValid()) return 0.0;
  int type = value.typeId();
  if (type == QMetaType::Bool) return value.toBool() ? -1.0 : 0.0;
  if (IsNumberType(type)) return value.toDouble();
  if (IsTextType(type)) return TextToNumber(value.toString());
  if (IsFont(value)) return TextToNumber(QString::fromStdString(ToFont(value).Name));
  throw RuntimeError(kErrTypeMismatch);
}

Boolean VarToBoolean(const QVariant& value) {
  if (!value.isValid()) return False;
  int type = value.typeId();
  if (type == QMetaType::Bool) return ToBoolean(value.toBool());
  QString text;
  if (IsTextType(type))
    text = value.toString().trimmed();
  else if (IsFont(value))
    text = QString::fromStdString(ToFont(value).Name).trimmed();
  if (!text.isNull()) {
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
        text.compare(QLatin1String("#TRUE#"), Qt::CaseInsensitive) == 0)
      return True;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 ||
        text.compare(QLatin1String("#FALSE#"), Qt::CaseInsensitive) == 0)
      return False;
    return ToBoolean(TextToNumber(text) != 0.0);
  }
  return ToBoolean(VarToDouble(value) != 0.0);
}

QString VarToText(const QVariant& value) {
  if (!value.isValid()) return QString();
  int type = value.typeId();
  if (IsTextType(type)) return value.toString();
  if (type == QMetaType::Bool) return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
  if (IsFont(value)) return QString::fromStdString(ToFont(value).Name);
  if (type == QMetaType::Double || type == QMetaType::Float) {
    QString s = QString::number(value.toDouble(), 'g', type == QMetaType::Float ? 7 : 15);
    return s.replace(QLatin1Char('e'), QLatin1Char('E'));
  }
  if (IsNumberType(type)) return value.toString();
  throw RuntimeError(kErrTypeMismatch);
}

std::uint8_t VarToByte(const QVariant& value) { return ConvertRounded<std::uint8_t>(VarToDouble(value)); }
std::int16_t VarToInteger(const QVariant& value) { return ConvertRounded<std::int16_t>(VarToDouble(value)); }
std::int32_t VarToLong(const QVariant& value) { return ConvertRounded<std::int32_t>(VarToDouble(value)); }

}  // namespace veltrane::vb
