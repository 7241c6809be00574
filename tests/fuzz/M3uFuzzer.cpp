// Feeds arbitrary text to the playlist import, then reads the category file it wrote with the
// program's own reader: the file always parses, and every station the import kept loads with its
// caption and an address the player opens.

#include "FuzzCheck.h"
#include "M3uPlaylist.h"

#include "directory/StreamUrl.h"
#include "text/MyXmlDom.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize)
{
    CM3uPlaylist playlist;
    playlist.Parse(std::string_view(reinterpret_cast<const char*>(pData), uSize));
    const std::string strText = playlist.BuildCategoryFile("Imported", "1.0");

    CMyXmlDom dom;
    Check(dom.LoadXml(CMyString(strText.c_str())));
    const CXmlNode* pTop = dom.GetRoot()->FindChild("MENU");
    Check(pTop != nullptr);
    Check(pTop->GetChildCount() == static_cast<int32_t>(playlist.GetGroups().size()) + 1);
    uint32_t uStations = 0;
    for (int32_t nGroup = 1; nGroup < pTop->GetChildCount(); ++nGroup)
    {
        const CXmlNode* pMenu = pTop->GetChild(nGroup);
        const auto& group = playlist.GetGroups()[static_cast<size_t>(nGroup - 1)];
        Check(!pMenu->GetChildValue("CAPTION").IsEmpty());
        size_t uInGroup = 0;
        for (int32_t nItem = 0; nItem < pMenu->GetChildCount(); ++nItem)
        {
            const CXmlNode* pItem = pMenu->GetChild(nItem);
            if (!pItem->GetName().IsEqualNoCase(CMyString("MENU_ITEM")))
                continue;
            Check(uInGroup < group.stations.size());
            const SPlaylistStation& station = group.stations[uInGroup++];
            const std::string strCaption = Str(pItem->GetChildValue("CAPTION"));
            Check(!strCaption.empty());
            Check(IsNetworkStreamUrl(pItem->GetChildValue("URL")));
            // The reader decodes "&lt;" met in decoded text once more; other titles come back
            // as they were.
            if (station.strTitle.find('&') == std::string::npos)
                Check(strCaption == station.strTitle);
            ++uStations;
        }
    }
    Check(uStations == playlist.GetStationCount());
    Check(uStations + playlist.GetSkipped().uDuplicates <= uSize);
    return 0;
}
