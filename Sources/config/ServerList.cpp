#include "config/ServerList.h"

#include "platform/ConnectionCheck.h"
#include "text/MyXmlDom.h"

bool ParseServerList(const CMyString& strText, CArrayString& arrServers, CMyString& strVersion,
                     bool* pbHasVersion)
{
    if (pbHasVersion != nullptr)
        *pbHasVersion = false;
    CMyXmlDom dom;
    if (!dom.LoadXml(strText))
        return false;
    const CXmlNode* pRoot = dom.GetRoot();
    const CMyString strVersionName("VERSION");
    const CMyString strUrlName("URL");
    for (int32_t nChild = 0; nChild < pRoot->GetChildCount(); ++nChild)
    {
        const CXmlNode* pChild = pRoot->GetChild(nChild);
        const CMyString strName = pChild->GetName();
        if (strName.IsEqualNoCase(strVersionName))
        {
            strVersion = pChild->GetValue();
            if (pbHasVersion != nullptr)
                *pbHasVersion = true;
        }
        else if (strName.IsEqualNoCase(strUrlName) && !pChild->GetValue().IsEmpty())
            arrServers.Add(pChild->GetValue());
    }
    return true;
}

CMyString SelectServer(const CArrayString& arrServers, const CMyString& strFileName)
{
    InitNetworking();
    for (uint32_t uServer = 0; uServer < arrServers.GetCount(); ++uServer)
    {
        const CMyString strServer = arrServers.GetAt(uServer);
        CMyString strUrl(strServer);
        strUrl += strFileName;
        if (CheckConnection(strUrl))
            return strServer;
    }
    return CMyString();
}
