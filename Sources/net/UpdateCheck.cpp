#include "net/UpdateCheck.h"

#include "config/FileHandler.h"
#include "config/Settings.h"
#include "net/MyDownload.h"
#include "net/Version.h"
#include "platform/ConnectionCheck.h"
#include "platform/ShellLaunch.h"
#include "platform/Trace.h"
#include "platform/WindowMessage.h"
#include "text/MyXmlDom.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>

namespace
{
constexpr const char* kProductName = "ORVANTA";

bool IsNamed(const CXmlNode* pNode, const char* pszName)
{
    return pNode->GetName().IsEqualNoCase(CMyString(pszName));
}

// The NAME of an entry without the white space a list author may have left around it.
CMyString TrimmedName(const CMyString& strName)
{
    const char* pszText = strName.IsEmpty() ? "" : strName.GetBuffer();
    std::string name(pszText);
    const size_t uFirst = name.find_first_not_of(" \t\r\n\v\f");
    if (uFirst == std::string::npos)
        return CMyString();
    name = name.substr(uFirst, name.find_last_not_of(" \t\r\n\v\f") - uFirst + 1);
    return CMyString(name.c_str());
}

enum class EntryState
{
    Skipped,
    Current,
    Outdated,
};

// Compares one list entry of the description with the version recorded for it.
EntryState ListEntryState(const CXmlNode* pEntry)
{
    const CXmlNode* pVersion = pEntry->FindChild("VERSION");
    if (pVersion == nullptr)
        return EntryState::Skipped;
    const CVersion remote(pVersion->GetValue());
    Settings settings;
    CVersion recorded;
    bool bRecorded = false;
    if (IsNamed(pEntry, "SEARCH_SETTINGS"))
        bRecorded = settings.GetSearchSettingsVersion(recorded);
    else if (IsNamed(pEntry, "MOVIES_SETTINGS"))
        bRecorded = settings.GetMoviesSettingsVersion(recorded);
    else if (IsNamed(pEntry, "SERVERS"))
        bRecorded = settings.GetServerSettingsVersion(recorded);
    else if (IsNamed(pEntry, "CATEGORY"))
    {
        const CXmlNode* pName = pEntry->FindChild("NAME");
        if (pName == nullptr)
            return EntryState::Skipped;
        bRecorded = settings.GetFileVersion(TrimmedName(pName->GetValue()), recorded);
    }
    else
        return EntryState::Current;
    return !bRecorded || recorded < remote ? EntryState::Outdated : EntryState::Current;
}
} // namespace

CMyString UpdateText(const char* pszText)
{
    CMyString strText(pszText);
    strText.Replace("DIAPLAY_TITLE", kProductName);
    return strText;
}

// Takes the answers of the list downloads on the user-interface thread. The download's thread
// waits inside the hand-over until the handler returns, so the handler only takes the answer and
// queues its processing: finishing the update opens message boxes, and the thread is released at
// once instead of waiting for the user. An answer still queued when the receiver goes (the dialog
// was cancelled or closed) is freed unprocessed.
class CUpdateCheck::CReceiver : public QObject
{
public:
    explicit CReceiver(CUpdateCheck& check)
        : m_check(check), m_uBufferMessage(RegisterWindowMessage(MESSAGE_BUFFER_DOWNLOAD_COMPLETE))
    {
    }
    uint32_t GetBufferMessage() const { return m_uBufferMessage; }

    bool event(QEvent* pEvent) override
    {
        const CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
        if (pMessage == nullptr || pMessage->GetMessage() != m_uBufferMessage)
            return QObject::event(pEvent);
        auto pAnswer = std::make_shared<CAnswer>();
        pAnswer->pBuffer.reset(reinterpret_cast<CMyBuffer*>(pMessage->GetWParam()));
        pAnswer->pstrName.reset(reinterpret_cast<CMyString*>(pMessage->GetLParam()));
        QMetaObject::invokeMethod(
            this,
            [this, pAnswer] {
                m_check.OnBufferDownloadComplete(pAnswer->pBuffer.release(),
                                                 pAnswer->pstrName.release());
            },
            Qt::QueuedConnection);
        return true;
    }

private:
    // One download's answer between its hand-over and its processing.
    struct CAnswer
    {
        std::unique_ptr<CMyBuffer> pBuffer;
        std::unique_ptr<CMyString> pstrName;
    };

    CUpdateCheck& m_check;
    uint32_t m_uBufferMessage;
};

CUpdateCheck::CUpdateCheck(IUpdateDialogView& view, bool bFirstRun)
    : m_view(view), m_bFirstRun(bFirstRun), m_pReceiver(std::make_unique<CReceiver>(*this))
{
}

CUpdateCheck::~CUpdateCheck() = default;

bool CUpdateCheck::IsSafeListName(const CMyString& strName)
{
    // The name becomes a file in the res folder, and it is a list: a plain file name only, not
    // hidden, without control characters, and never a program that start-up runs.
    const CMyString strTrimmed = TrimmedName(strName);
    if (strTrimmed.IsEmpty())
        return false;
    const std::string name(strTrimmed.GetBuffer());
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos ||
        name.find("..") != std::string::npos || name.front() == '.')
        return false;
    for (const char cLetter : name)
    {
        if (static_cast<unsigned char>(cLetter) < 0x20 || cLetter == 0x7f)
            return false;
    }
    const std::string_view suffix = ".exe";
    const bool bProgram =
        name.size() >= suffix.size() &&
        IsEqualNoCaseAscii(std::string_view(name).substr(name.size() - suffix.size()), suffix);
    return !IsEqualNoCaseAscii(name, UPDATER_FILE) && !bProgram;
}

bool CUpdateCheck::IsUsableList(const CMyBuffer& buffer)
{
    // As the program reads a list: unscrambled, then parsed; a list holds at least one element.
    if (buffer.GetUsed() == 0)
        return false;
    CMyString strText;
    CFileHandler::UnscrambleBuffer(buffer.GetData(), buffer.GetUsed(), strText);
    CMyXmlDom dom;
    return !strText.IsEmpty() && dom.LoadXml(strText) && dom.GetRoot() != nullptr &&
           dom.GetRoot()->GetChildCount() > 0;
}

bool CUpdateCheck::FetchUpdateSettings(CMyString& strContent, CMyString& strServer)
{
    CArrayString arrServers;
    Settings().GetServers(arrServers);
    return FetchUpdateSettings(arrServers, strContent, strServer);
}

bool CUpdateCheck::FetchUpdateSettings(const CArrayString& arrServers, CMyString& strContent,
                                       CMyString& strServer)
{
    InitNetworking();
    for (uint32_t uServer = 0; uServer < arrServers.GetCount(); ++uServer)
    {
        strServer = arrServers.GetAt(uServer);
        CMyString strUrl(strServer);
        strUrl += UPDATE_SETTINGS_FILE;
        if (!CheckConnection(strUrl))
            continue;
        CMyDownload download;
        download.SetLimits(CMyDownload::DESCRIPTION_MAX_BYTES,
                           CMyDownload::DESCRIPTION_MAX_SECONDS);
        if (download.DownloadToBuffer(strUrl) && download.GetBuffer().GetUsed() > 0)
            strContent = CMyString(download.GetBuffer().GetData());
        break;
    }
    return !strContent.IsEmpty();
}

void CUpdateCheck::Start()
{
    if (StartUpdate())
        return;
    if (m_bFirstRun)
    {
        m_view.ShowMessage(UpdateText("Couldn't get the lists from DIAPLAY_TITLE server for the "
                                      "first time\nCheck connection to the internet"));
        m_view.CloseDialog();
        m_view.QuitProgram();
        return;
    }
    m_view.ShowMessage(UpdateText("Update check failed\nCheck connection to the internet"));
    m_view.CloseDialog();
}

bool CUpdateCheck::StartUpdate()
{
    CMyString strContent;
    CMyString strServer;
    if (!FetchUpdateSettings(strContent, strServer))
        return false;
    return ProcessUpdateSettings(strContent, strServer);
}

bool CUpdateCheck::AskToUpdate()
{
    return m_bFirstRun ||
           m_view.AskYesNo(UpdateText("Updates Are Available.\nWhould You Like To Update Now?"));
}

bool CUpdateCheck::ProcessUpdateSettings(const CMyString& strContent, const CMyString& strServer)
{
    CMyXmlDom dom;
    if (!dom.LoadXml(strContent))
        return false;
    const CXmlNode* pRoot = dom.GetRoot();
    auto* pReceiver = static_cast<CReceiver*>(m_pReceiver.get());
    for (int32_t nChild = 0; nChild < pRoot->GetChildCount(); ++nChild)
    {
        const CXmlNode* pEntry = pRoot->GetChild(nChild);
        if (ListEntryState(pEntry) != EntryState::Outdated)
            continue;
        if (!m_bAsked)
        {
            m_bAsked = true;
            if (!AskToUpdate())
            {
                m_view.CloseDialog();
                return true;
            }
        }
        const CXmlNode* pName = pEntry->FindChild("NAME");
        // A name that could lead outside the res folder is not fetched at all.
        if (pName == nullptr || !IsSafeListName(pName->GetValue()))
            continue;
        const CMyString strName = TrimmedName(pName->GetValue());
        m_arrPending.Add(strName);
        CMyString strUrl(strServer);
        strUrl += strName;
        auto* pDownload = new CMyDownload;
        // The list's name travels as the cookie; it is freed here when the dialog has gone.
        pDownload->SetCookieRelease([](uintptr_t uCookie)
                                    { delete reinterpret_cast<CMyString*>(uCookie); });
        if (!pDownload->StartBufferDownload(strUrl, pReceiver, pReceiver->GetBufferMessage(),
                                            reinterpret_cast<uintptr_t>(new CMyString(strName))))
        {
            // No thread for it: a failed download, answered now rather than never.
            m_arrPending.RemoveAt(m_arrPending.GetCount() - 1);
            ++m_nFailed;
        }
    }

    if (m_arrPending.GetCount() == 0 && m_nFailed == 0)
    {
        if (m_bFirstRun)
        {
            Settings().SetCopySettings(false);
            m_view.RestartProgram(true);
        }
        else
        {
            m_view.ShowMessage(UpdateText("You Run The Most Updated Settings."));
            m_view.CloseDialog();
        }
        return true;
    }
    m_nTotal = static_cast<int32_t>(m_arrPending.GetCount()) + m_nFailed;
    m_view.SetProgress(1, m_nTotal, 1);
    if (m_arrPending.GetCount() == 0)
        FinishUpdate();
    return true;
}

void CUpdateCheck::OnBufferDownloadComplete(CMyBuffer* pBuffer, CMyString* pstrName)
{
    if (pstrName != nullptr)
    {
        // A list replaces the old one only when it is one: an empty answer, or one that does not
        // read as a list, leaves the old file and counts as failed.
        CMyString strPath = Settings().GetResFolder();
        strPath += *pstrName;
        const bool bWritten = pBuffer != nullptr && IsUsableList(*pBuffer) &&
                              CFileHandler().WriteBufferFile(strPath, *pBuffer);
        if (!bWritten)
        {
            ++m_nFailed;
            CMyString strStatus("Could Not Update ");
            strStatus += *pstrName;
            m_view.ShowStatus(strStatus);
        }
        for (uint32_t uPending = 0; uPending < m_arrPending.GetCount(); ++uPending)
        {
            if (m_arrPending.GetAt(uPending).IsEqual(*pstrName))
            {
                m_arrPending.RemoveAt(uPending);
                break;
            }
        }
    }
    delete pBuffer;
    delete pstrName;

    const int32_t nDone = m_nTotal - static_cast<int32_t>(m_arrPending.GetCount());
    m_view.SetProgress(1, m_nTotal, nDone);
    if (nDone == m_nTotal)
        FinishUpdate();
}

void CUpdateCheck::FinishUpdate()
{
    if (m_bFirstRun)
    {
        Settings().SetCopySettings(false);
        m_view.RestartProgram(true);
        return;
    }
    // Nothing was updated: there is nothing to restart for.
    if (m_nFailed == m_nTotal)
    {
        m_view.ShowMessage(UpdateText("Update check failed\nCheck connection to the internet"));
        m_view.CloseDialog();
        return;
    }
    if (m_view.AskOkCancel(UpdateText("Update Success\nClick Ok To Restart The Application")))
        m_view.RestartProgram(false);
    m_view.CloseDialog();
}

bool CUpdateCheck::CheckForUpdates(uint32_t& uFlags, CMyString& strProgramAddress)
{
    CArrayString arrServers;
    Settings().GetServers(arrServers);
    return CheckForUpdates(arrServers, uFlags, strProgramAddress, nullptr);
}

bool CUpdateCheck::CheckForUpdates(const CArrayString& arrServers, uint32_t& uFlags,
                                   CMyString& strProgramAddress, CArrayString* pOutdated,
                                   bool* pbFetched)
{
    uFlags = 0;
    if (pbFetched != nullptr)
        *pbFetched = false;
    CMyString strContent;
    CMyString strServer;
    if (!FetchUpdateSettings(arrServers, strContent, strServer))
        return false;
    CMyXmlDom dom;
    if (!dom.LoadXml(strContent))
        return false;
    if (pbFetched != nullptr)
        *pbFetched = true;
    const CXmlNode* pRoot = dom.GetRoot();
    for (int32_t nChild = 0; nChild < pRoot->GetChildCount(); ++nChild)
    {
        const CXmlNode* pEntry = pRoot->GetChild(nChild);
        const CXmlNode* pVersion = pEntry->FindChild("VERSION");
        if (pVersion == nullptr)
            continue;
        if (IsNamed(pEntry, "EXE_UPDATE"))
        {
            CVersion running;
            const bool bOutdated =
                !Settings().GetProgramVersion(running) || running < CVersion(pVersion->GetValue());
            const CXmlNode* pName = pEntry->FindChild("NAME");
            if (bOutdated && pName != nullptr)
            {
                strProgramAddress = pName->GetValue();
                uFlags |= UPDATE_PROGRAM_NEWER;
            }
            continue;
        }
        if (ListEntryState(pEntry) != EntryState::Outdated)
            continue;
        // An entry the update would not fetch is no reason to offer one.
        const CXmlNode* pName = pEntry->FindChild("NAME");
        if (pName == nullptr || !IsSafeListName(pName->GetValue()))
            continue;
        uFlags |= UPDATE_LISTS_NEWER;
        if (pOutdated != nullptr)
            pOutdated->Add(pName->GetValue());
    }
    return uFlags != 0;
}

bool RestartProgram(bool bExitNow)
{
    // The running executable; after an update replaced it, the link names it "... (deleted)".
    char szExecutable[4096];
    const ssize_t nLength = readlink("/proc/self/exe", szExecutable, sizeof szExecutable - 1);
    if (nLength <= 0)
        return false;
    std::string executable(szExecutable, static_cast<size_t>(nLength));
    const std::string deleted = " (deleted)";
    if (executable.size() > deleted.size() &&
        executable.compare(executable.size() - deleted.size(), deleted.size(), deleted) == 0)
        executable.resize(executable.size() - deleted.size());
    const bool bStarted = LaunchProgram(CMyString(executable.c_str()), {CMyString("reopen")});
    if (bExitNow)
    {
        Trace("Process %d ends with 0", static_cast<int>(getpid()));
        std::exit(0);
    }
    return bStarted;
}
