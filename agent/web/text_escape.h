#pragma once
// Escaping of dynamic values for the web pages. Every value a page writes
// that does not come from the page's own literal text (element names,
// addresses, device descriptions and links, form values, messages) goes
// through one of these, chosen by where it lands:
//   Html              element content and quoted attribute values;
//   Xml               element content of the XML discovery document;
//   ScriptInAttribute the inside of a single- or double-quoted JavaScript
//                     string that itself sits in an HTML attribute
//                     (onClick="window.location='...';");
//   Json              the inside of a JSON string (the JSON and CSV answers
//                     of the console).
// Device texts come from the network, so none of these trusts its input:
// the results never contain a character that ends the string, the
// attribute or the element they are written into.
#include <string>

namespace orla {

class TextEscape {
 public:
  // & < > " ' as character references (&amp; &lt; &gt; &quot; &#39;).
  static std::string Html(const std::string& text);
  // & < > " ' as the XML entities (&amp; &lt; &gt; &quot; &apos;); control
  // characters other than tab, line feed and carriage return, which XML 1.0
  // cannot carry, are dropped.
  static std::string Xml(const std::string& text);
  // Every ASCII character outside A-Z a-z 0-9 and - _ . / : ? = , ~ # % + ;
  // @ and space written as a JavaScript escape (\xHH; bytes from 0x80 on,
  // the parts of UTF-8 characters, are kept), then the result escaped for
  // HTML. After the browser has decoded the attribute, the script sees
  // a string literal holding exactly `text`.
  static std::string ScriptInAttribute(const std::string& text);
  // The JSON string escapes of the event-log file lines, and < > & as \u
  // escapes as well, so a device text can never close a script or element
  // should the answer ever be read as markup.
  static std::string Json(const std::string& text);
  // One CSV field (RFC 4180): quoted when it holds a comma, quote or line
  // break, inner quotes doubled; a text starting with = + - @ gets a leading
  // apostrophe so a spreadsheet never runs it as a formula.
  static std::string Csv(const std::string& text);
};

}  // namespace orla
