#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// One station of a playlist, with the text cleaned for a list: no control characters, no white
// space at either end.
struct SPlaylistStation
{
    std::string strTitle;
    std::string strUrl;
    // The address of the station's logo; empty unless it is an http or https address.
    std::string strLogo;
    std::string strUserAgent;
    std::string strReferrer;
};

// The stations of one group of the playlist, in playlist order, each address once.
struct SPlaylistGroup
{
    std::string strName;
    std::vector<SPlaylistStation> stations;
    std::unordered_set<std::string> urls;
};

// An M3U or M3U8 playlist read into groups of stations: "#EXTINF" lines with their attributes
// (tvg-name, tvg-logo, group-title, quoted or not) and the title after the first comma outside
// quotes, "#EXTGRP" groups, and "#EXTVLCOPT" request options (http-user-agent, http-referrer)
// for the address that follows. Text is UTF-8, with or without a byte-order mark, its lines
// ended by LF, CRLF or CR.
class CM3uPlaylist
{
public:
    // The group of stations that name none.
    static constexpr const char* DEFAULT_GROUP = "Other";

    // What was left out, by reason.
    struct SSkipped
    {
        uint32_t uComments = 0;
        uint32_t uUnknownDirectives = 0;
        // "#EXTINF" lines without an address before the next entry or the end.
        uint32_t uWithoutAddress = 0;
        // Addresses of local files or of schemes the player does not stream from.
        uint32_t uNotNetwork = 0;
        // The same address once more in the same group.
        uint32_t uDuplicates = 0;
    };

    CM3uPlaylist() = default;

    // Reads the whole playlist text; groups and stations add to those read before.
    void Parse(std::string_view text);

    const std::vector<SPlaylistGroup>& GetGroups() const { return m_groups; }
    uint32_t GetStationCount() const { return m_uStations; }
    const SSkipped& GetSkipped() const { return m_skipped; }
    uint32_t GetSkippedCount() const;
    // Stations whose address holds "&" and so ends in one more "&" in the list (the player
    // cuts an address at its last "&").
    uint32_t GetAmpersandCount() const { return m_uAmpersands; }

    // The category file: VERSION, then the top MENU captioned strCaption with one sub-menu per
    // group holding its stations (CAPTION, ICON_URL, URL, USER_AGENT, REFERRER).
    std::string BuildCategoryFile(std::string_view caption, std::string_view version) const;

private:
    // What an "#EXTINF" line and the options after it say about the next address.
    struct SPending
    {
        bool bInfo = false;
        std::string strTitle;
        std::string strName;
        std::string strLogo;
        std::string strGroup;
        // The group an "#EXTGRP" line names, for an entry without group-title.
        std::string strListGroup;
        std::string strUserAgent;
        std::string strReferrer;
    };

    void ParseLine(std::string_view line);
    void ParseInfo(std::string_view info);
    void ParseOption(std::string_view option);
    void AddStation(std::string_view url);

    std::vector<SPlaylistGroup> m_groups;
    std::unordered_map<std::string, size_t> m_groupIndex;
    SPending m_pending;
    uint32_t m_uStations = 0;
    uint32_t m_uAmpersands = 0;
    SSkipped m_skipped;
};
