// The one pair of helpers through which the GUI converts text: the terminal's texts are GBK
// bytes in std::string, Qt's are QString. Every widget boundary goes through these two, so a
// GBK string never reaches a QString constructor by mistake.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tarn::ui {

// GBK -> QString (malformed GBK bytes become U+FFFD).
QString ToQString(std::string_view gbk);
// QString -> GBK (characters GBK cannot hold become '?').
std::string ToGbk(const QString& text);

}  // namespace tarn::ui
