#include "EngineCommands.h"

#include "shell/SearchEngines.h"
#include "text/MyString.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace
{

const char* Text(const CMyString& strText)
{
    return strText.IsEmpty() ? "" : strText.GetBuffer();
}

bool LoadList(const char* pszResFolder, CSearchEngines& engines)
{
    if (LoadSearchSettings(pszResFolder, engines, EEngineLoad::Inspect))
        return true;
    std::fprintf(stderr, "orvanta-lists: no search engines could be read from %s/%s\n",
                 pszResFolder, SEARCH_SETTINGS_FILE);
    return false;
}

// The decimal identifier, or false when the text is not one.
bool ParseId(const char* pszId, int32_t& nId)
{
    if (pszId == nullptr || *pszId == 0)
        return false;
    char* pszEnd = nullptr;
    errno = 0;
    const long nValue = std::strtol(pszId, &pszEnd, 10);
    if (errno != 0 || *pszEnd != 0 || nValue < INT32_MIN || nValue > INT32_MAX)
        return false;
    nId = static_cast<int32_t>(nValue);
    return true;
}

} // namespace

int RunEngines(const char* pszResFolder)
{
    CSearchEngines engines;
    if (!LoadList(pszResFolder, engines))
        return 1;
    for (int32_t i = 0; i < engines.GetCount(); ++i)
    {
        const CSearchEngine* pEngine = engines.GetEngine(i);
        std::printf("%d\t%d\t%s\t%s\t%s\t%s\n", pEngine->m_nId, pEngine->m_bSeparator,
                    Text(pEngine->m_strCaption), Text(pEngine->m_strPrefix),
                    Text(pEngine->m_strTermToReplace), Text(pEngine->m_strInputCharset));
    }
    return 0;
}

int RunQuery(const char* pszResFolder, const char* pszId, const char* pszText)
{
    int32_t nId = 0;
    if (!ParseId(pszId, nId))
    {
        std::fprintf(stderr, "orvanta-lists: \"%s\" is not an engine identifier\n",
                     pszId == nullptr ? "" : pszId);
        return 1;
    }
    const CMyString strText(pszText == nullptr ? "" : pszText);
    if (nId == BUILT_IN_ENGINE_ID)
    {
        std::printf("%s\n", Text(strText));
        return 0;
    }
    CSearchEngines engines;
    if (!LoadList(pszResFolder, engines))
        return 1;
    const CSearchEngine* pEngine = nId > 0 ? engines.GetEngine(nId - 1) : nullptr;
    if (pEngine == nullptr)
    {
        std::fprintf(stderr, "orvanta-lists: there is no engine %d in %s/%s\n", nId, pszResFolder,
                     SEARCH_SETTINGS_FILE);
        return 1;
    }
    std::printf("%s\n", Text(pEngine->BuildQuery(strText)));
    return 0;
}
