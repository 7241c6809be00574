#include "M3uPlaylist.h"
#include "XmlText.h"

#include "directory/StreamUrl.h"
#include "text/MyString.h"

namespace
{

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// The text without control characters and without white space at either end.
std::string Cleaned(std::string_view text)
{
    std::string strClean;
    strClean.reserve(text.size());
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            strClean += c;
    return std::string(Trimmed(strClean));
}

bool StartsWithNoCase(std::string_view text, std::string_view start)
{
    return text.size() >= start.size() && IsEqualNoCaseAscii(text.substr(0, start.size()), start);
}

bool IsWebAddress(std::string_view url)
{
    return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

// "#NAME:..." with a name of capitals, digits and dashes, as players' own directives are
// written ("#KODIPROP:..."); any other line starting with "#" is a comment.
bool IsDirective(std::string_view line)
{
    size_t uAt = 1;
    while (uAt < line.size() && ((line[uAt] >= 'A' && line[uAt] <= 'Z') ||
                                 (line[uAt] >= '0' && line[uAt] <= '9') || line[uAt] == '-'))
        ++uAt;
    return uAt > 1 && uAt < line.size() && line[uAt] == ':';
}

} // namespace

uint32_t CM3uPlaylist::GetSkippedCount() const
{
    return m_skipped.uComments + m_skipped.uUnknownDirectives + m_skipped.uWithoutAddress +
           m_skipped.uNotNetwork + m_skipped.uDuplicates;
}

void CM3uPlaylist::Parse(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    while (!text.empty())
    {
        const size_t uEnd = text.find_first_of("\r\n");
        ParseLine(text.substr(0, uEnd));
        if (uEnd == std::string_view::npos)
            break;
        text.remove_prefix(uEnd + 1);
    }
    if (m_pending.bInfo)
        ++m_skipped.uWithoutAddress;
    m_pending = SPending();
}

void CM3uPlaylist::ParseLine(std::string_view line)
{
    line = Trimmed(line);
    if (line.empty())
        return;
    if (line.front() != '#')
    {
        AddStation(line);
        return;
    }
    if (StartsWithNoCase(line, "#EXTINF:"))
    {
        // An entry that never got its address; options given before this line stay with it.
        if (m_pending.bInfo)
        {
            ++m_skipped.uWithoutAddress;
            m_pending = SPending();
        }
        ParseInfo(line.substr(8));
    }
    else if (StartsWithNoCase(line, "#EXTVLCOPT:"))
        ParseOption(line.substr(11));
    else if (StartsWithNoCase(line, "#EXTGRP:"))
        m_pending.strListGroup = Cleaned(line.substr(8));
    else if (StartsWithNoCase(line, "#EXTM3U"))
        return;
    else if (StartsWithNoCase(line, "#EXT") || IsDirective(line))
        ++m_skipped.uUnknownDirectives;
    else
        ++m_skipped.uComments;
}

// "-1 tvg-name="A" tvg-logo=http://l/a.png group-title="News, World",Title, with commas"
void CM3uPlaylist::ParseInfo(std::string_view info)
{
    m_pending.bInfo = true;
    size_t uAt = 0;
    // The duration.
    while (uAt < info.size() && !IsSpace(info[uAt]) && info[uAt] != ',')
        ++uAt;
    while (uAt < info.size())
    {
        while (uAt < info.size() && IsSpace(info[uAt]))
            ++uAt;
        if (uAt >= info.size())
            return;
        if (info[uAt] == ',')
        {
            m_pending.strTitle = Cleaned(info.substr(uAt + 1));
            return;
        }
        const size_t uKey = uAt;
        while (uAt < info.size() && info[uAt] != '=' && info[uAt] != ',' && !IsSpace(info[uAt]))
            ++uAt;
        const std::string_view key = info.substr(uKey, uAt - uKey);
        if (uAt >= info.size() || info[uAt] != '=')
            continue; // a word without a value
        ++uAt;
        std::string_view value;
        if (uAt < info.size() && (info[uAt] == '"' || info[uAt] == '\''))
        {
            const char cQuote = info[uAt++];
            const size_t uClose = info.find(cQuote, uAt);
            const size_t uEnd = uClose == std::string_view::npos ? info.size() : uClose;
            value = info.substr(uAt, uEnd - uAt);
            uAt = uEnd == info.size() ? uEnd : uEnd + 1;
        }
        else
        {
            const size_t uValue = uAt;
            while (uAt < info.size() && info[uAt] != ',' && !IsSpace(info[uAt]))
                ++uAt;
            value = info.substr(uValue, uAt - uValue);
        }
        if (IsEqualNoCaseAscii(key, "tvg-name"))
            m_pending.strName = Cleaned(value);
        else if (IsEqualNoCaseAscii(key, "tvg-logo"))
            m_pending.strLogo = Cleaned(value);
        else if (IsEqualNoCaseAscii(key, "group-title"))
            m_pending.strGroup = Cleaned(value);
    }
}

void CM3uPlaylist::ParseOption(std::string_view option)
{
    option = Trimmed(option);
    if (StartsWithNoCase(option, "http-user-agent="))
        m_pending.strUserAgent = Cleaned(option.substr(16));
    else if (StartsWithNoCase(option, "http-referrer="))
        m_pending.strReferrer = Cleaned(option.substr(14));
    else if (StartsWithNoCase(option, "http-referer="))
        m_pending.strReferrer = Cleaned(option.substr(13));
    else
        ++m_skipped.uUnknownDirectives;
}

void CM3uPlaylist::AddStation(std::string_view line)
{
    SPending pending = std::move(m_pending);
    m_pending = SPending();
    std::string strUrl = Cleaned(line);
    if (!IsNetworkStreamUrl(std::string_view(strUrl)))
    {
        ++m_skipped.uNotNetwork;
        return;
    }

    std::string strGroup = !pending.strGroup.empty() ? pending.strGroup : pending.strListGroup;
    if (strGroup.empty())
        strGroup = DEFAULT_GROUP;
    auto [found, bNew] = m_groupIndex.try_emplace(strGroup, m_groups.size());
    if (bNew)
        m_groups.push_back(SPlaylistGroup{strGroup, {}, {}});
    SPlaylistGroup& group = m_groups[found->second];
    if (!group.urls.insert(strUrl).second)
    {
        ++m_skipped.uDuplicates;
        return;
    }

    SPlaylistStation station;
    station.strTitle = !pending.strTitle.empty()  ? std::move(pending.strTitle)
                       : !pending.strName.empty() ? std::move(pending.strName)
                                                  : strUrl;
    if (IsWebAddress(pending.strLogo))
        station.strLogo = std::move(pending.strLogo);
    station.strUserAgent = std::move(pending.strUserAgent);
    station.strReferrer = std::move(pending.strReferrer);
    // The player drops everything from an address's last "&"; one more "&" at the end keeps
    // the whole address.
    if (strUrl.find('&') != std::string::npos)
    {
        strUrl += '&';
        ++m_uAmpersands;
    }
    station.strUrl = std::move(strUrl);
    group.stations.push_back(std::move(station));
    ++m_uStations;
}

std::string CM3uPlaylist::BuildCategoryFile(std::string_view caption,
                                            std::string_view version) const
{
    std::string strText;
    strText.reserve(256 + static_cast<size_t>(m_uStations) * 200);
    strText += "<CATEGORY_FILE>\n";
    AppendXmlLeaf(strText, "VERSION", version, 1);
    strText += "\t<MENU>\n";
    AppendXmlLeaf(strText, "CAPTION", caption, 2);
    for (const SPlaylistGroup& group : m_groups)
    {
        strText += "\t\t<MENU>\n";
        AppendXmlLeaf(strText, "CAPTION", group.strName, 3);
        for (const SPlaylistStation& station : group.stations)
        {
            strText += "\t\t\t<MENU_ITEM>\n";
            AppendXmlLeaf(strText, "CAPTION", station.strTitle, 4);
            if (!station.strLogo.empty())
                AppendXmlLeaf(strText, "ICON_URL", station.strLogo, 4);
            AppendXmlLeaf(strText, "URL", station.strUrl, 4);
            if (!station.strUserAgent.empty())
                AppendXmlLeaf(strText, "USER_AGENT", station.strUserAgent, 4);
            if (!station.strReferrer.empty())
                AppendXmlLeaf(strText, "REFERRER", station.strReferrer, 4);
            strText += "\t\t\t</MENU_ITEM>\n";
        }
        strText += "\t\t</MENU>\n";
    }
    strText += "\t</MENU>\n</CATEGORY_FILE>\n";
    return strText;
}
