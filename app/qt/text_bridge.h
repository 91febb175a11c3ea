// text_bridge.h: the one place where the program's texts (code page 936)
// cross into Qt's strings and back.
//
//   label->setText(pl::QStringFromText("查找"));
//   pl::Text typed = pl::TextFromQString(line_edit->text());
#pragma once

#include <QString>

#include <string_view>

#include "text/text.h"

namespace pl {

QString QStringFromText(const Text& text);
// Characters that code page 936 lacks come out as "?"; a zero character ends
// the text.
Text TextFromQString(const QString& text);

// The Qt back end is compiled with UTF-8 literals (the standard library's
// <chrono>, which Qt includes, has a literal with no code page 936 form);
// a text it needs as a literal is converted here: TextFromUtf8("查找").
Text TextFromUtf8(std::string_view utf8);

}  // namespace pl
