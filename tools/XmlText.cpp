#include "XmlText.h"

#include "net/Version.h"
#include "text/MyXmlDom.h"

#include <algorithm>

namespace
{
std::string Text(const CMyString& str)
{
    return str.IsEmpty() ? std::string() : std::string(str.GetBuffer(), str.GetLength());
}

// Appends the text escaped as EscapeXml does, without a string of its own in between.
void AppendEscapedXml(std::string& strOut, std::string_view text)
{
    size_t uRun = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const char c = text[i];
        const bool bControl = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        if (c != '&' && c != '<' && c != '>' && !bControl)
            continue;
        strOut.append(text.substr(uRun, i - uRun));
        uRun = i + 1;
        if (c == '&')
            strOut += "&amp;";
        else if (c == '<')
            strOut += "&lt;";
        else if (c == '>')
            strOut += "&gt;";
    }
    strOut.append(text.substr(uRun));
}
} // namespace

std::string EscapeXml(std::string_view text)
{
    std::string strEscaped;
    strEscaped.reserve(text.size());
    AppendEscapedXml(strEscaped, text);
    return strEscaped;
}

void AppendXmlLeaf(std::string& strOut, std::string_view name, std::string_view value, int nDepth)
{
    strOut.append(static_cast<size_t>(nDepth), '\t');
    strOut += '<';
    strOut += name;
    strOut += '>';
    AppendEscapedXml(strOut, value);
    strOut += "</";
    strOut += name;
    strOut += ">\n";
}

void AppendXmlElement(std::string& strOut, const CXmlNode& node, int nDepth)
{
    const std::string strName = Text(node.GetName());
    if (node.GetChildCount() == 0)
    {
        AppendXmlLeaf(strOut, strName, Text(node.GetValue()), nDepth);
        return;
    }
    strOut.append(static_cast<size_t>(nDepth), '\t');
    strOut += "<" + strName + ">" + EscapeXml(Text(node.GetValue())) + "\n";
    for (int32_t nChild = 0; nChild < node.GetChildCount(); ++nChild)
        AppendXmlElement(strOut, *node.GetChild(nChild), nDepth + 1);
    strOut.append(static_cast<size_t>(nDepth), '\t');
    strOut += "</" + strName + ">\n";
}

std::string NextVersion(const std::string& strVersion)
{
    const CVersion version{CMyString(strVersion.c_str())};
    if (!version.IsValid())
        return "1.0";
    // As many numbers as the text has (up to the four that count), the last one raised.
    int nParts = 1;
    for (const char c : strVersion)
        nParts += c == '.' ? 1 : 0;
    nParts = std::min(nParts, 4);
    std::string strNext;
    for (int i = 0; i < nParts; ++i)
    {
        const int32_t nPart = version.GetPart(i) + (i == nParts - 1 ? 1 : 0);
        if (i > 0)
            strNext += '.';
        strNext += std::to_string(nPart);
    }
    return strNext;
}
