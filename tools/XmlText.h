#pragma once

#include <string>
#include <string_view>

class CXmlNode;

// Writing list text in the XML subset the program reads.

// The text with "&", "<" and ">" written as references and control characters (line breaks and
// tabs too) dropped, for the value of an element.
std::string EscapeXml(std::string_view text);

// Appends the element and everything below it, one element a line indented by tabs: a value
// escaped between its tags, children each on lines of their own.
void AppendXmlElement(std::string& strOut, const CXmlNode& node, int nDepth);

// Appends "<NAME>value</NAME>" with the value escaped, indented by nDepth tabs, and a line end.
void AppendXmlLeaf(std::string& strOut, std::string_view name, std::string_view value, int nDepth);

// A version newer than the given one: its last number one higher ("1.9" gives "1.10",
// "2.4.118" gives "2.4.119"); "1.0" for a text that is not a dotted version.
std::string NextVersion(const std::string& strVersion);
