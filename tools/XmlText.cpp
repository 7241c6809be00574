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
} // namespace

std::string EscapeXml(std::string_view text)
{
    std::string strEscaped;
    strEscaped.reserve(text.size());
    for (const char c : text)
    {
        if (c == '&')
            strEscaped += "&amp;";
        else if (c == '<')
            strEscaped += "&lt;";
        else if (c == '>')
            strEscaped += "&gt;";
        else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            strEscaped += c;
    }
    return strEscaped;
}

void AppendXmlLeaf(std::string& strOut, std::string_view name, std::string_view value, int nDepth)
{
    strOut.append(static_cast<size_t>(nDepth), '\t');
    strOut += '<';
    strOut += name;
    strOut += '>';
    strOut += EscapeXml(value);
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
        strNext += (i > 0 ? "." : "") + std::to_string(nPart);
    }
    return strNext;
}
