// Conversions between the command layer's UTF-16 texts and paths and Qt's strings.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace kelvora::qt {

inline QString toQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

inline std::u16string toU16(const QString& text) { return text.toStdU16String(); }

// Item texts break lines with CR LF; Qt's editors and message boxes want bare LF.
inline QString toDisplayText(std::u16string_view text) {
  QString s = toQString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

// File names are bytes; Qt decodes them with the locale, as the file dialogs do.
inline QString pathToQString(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

inline std::filesystem::path qStringToPath(const QString& text) {
  return std::filesystem::path(QFile::encodeName(text).toStdString());
}

}  // namespace kelvora::qt
