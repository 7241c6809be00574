#include "platform/ConnectionCheck.h"

#include <curl/curl.h>

#include <mutex>

void InitNetworking()
{
    static std::once_flag s_onceInit;
    std::call_once(s_onceInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Only absolute URLs with a scheme and a host are worth a connection attempt; anything else
// would make libcurl guess a scheme and look up a name that is not one.
static bool IsConnectableUrl(const char* pszUrl)
{
    CURLU* pUrl = curl_url();
    if (pUrl == nullptr)
        return false;
    char* pszHost = nullptr;
    bool bValid = curl_url_set(pUrl, CURLUPART_URL, pszUrl, 0) == CURLUE_OK &&
                  curl_url_get(pUrl, CURLUPART_HOST, &pszHost, 0) == CURLUE_OK &&
                  pszHost != nullptr && pszHost[0] != '\0';
    curl_free(pszHost);
    curl_url_cleanup(pUrl);
    return bValid;
}

bool CheckConnection(const CMyString& strUrl, long nConnectTimeoutSeconds)
{
    if (strUrl.IsEmpty() || !IsConnectableUrl(strUrl.GetBuffer()))
        return false;
    InitNetworking();
    CURL* pCurl = curl_easy_init();
    if (pCurl == nullptr)
        return false;

    // A connect timeout of 0 would mean libcurl's own default of several minutes.
    long nTimeout = nConnectTimeoutSeconds > 0 ? nConnectTimeoutSeconds : 1;
    curl_easy_setopt(pCurl, CURLOPT_URL, strUrl.GetBuffer());
    curl_easy_setopt(pCurl, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(pCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pCurl, CURLOPT_CONNECTTIMEOUT, nTimeout);
    // The name lookup and a proxy tunnel count towards the total, so it leaves a little room.
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT, nTimeout + 2);
    bool bConnected = curl_easy_perform(pCurl) == CURLE_OK;
    curl_easy_cleanup(pCurl);
    return bConnected;
}
