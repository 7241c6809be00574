#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CMyXmlDom;
class CXmlNode;

// One thing the program would skip or refuse without a word: the list file it is in, the line
// (0 when it is about the whole file) and what happens.
struct SListFinding
{
    std::string strFile;
    uint32_t uLine = 0;
    std::string strMessage;
};

// The list author's checker: reads every list of a folder as the program reads it and notes
// everything the program would skip or refuse. The folder holds either plain list sources (as
// publish reads them) or published, scrambled lists (as the program reads them); the movies
// settings file tells which, and a list in the other form is a finding of its own.
class CListChecker
{
public:
    explicit CListChecker(std::string strFolder);
    ~CListChecker();
    CListChecker(const CListChecker&) = delete;
    CListChecker& operator=(const CListChecker&) = delete;

    void Check();
    const std::vector<SListFinding>& GetFindings() const { return m_findings; }

private:
    struct SList;

    // Reads the list in either form; null (after a finding when bRequired) when it is missing
    // or does not parse.
    SList* Load(const std::string& strFile, bool bRequired);
    void Note(const std::string& strFile, uint32_t uLine, const std::string& strMessage);
    void Note(const SList& list, const CXmlNode* pNode, const std::string& strMessage);
    void CheckVersion(const SList& list);
    void CheckMoviesSettings();
    void CheckCategoryFile(const std::string& strCategory, const std::string& strFile,
                           const SList& movies, const CXmlNode* pFileName);
    void CheckMenu(const SList& list, const CXmlNode* pMenu, const std::string& strMenu);
    void CheckStation(const SList& list, const CXmlNode* pStation, const std::string& strCaption);
    void CheckServerSettings();
    void CheckSearchSettings();
    void CheckUpdateSettings();

    std::string m_strFolder;
    // The form of the movies settings file, which the other lists should share.
    bool m_bScrambledFolder = false;
    std::unordered_map<std::string, std::unique_ptr<SList>> m_lists;
    // The category files the movies settings name, in order.
    std::vector<std::string> m_categoryFiles;
    std::vector<SListFinding> m_findings;
};

// Runs the checker on the folder and prints each finding as "FILE:LINE: message" (or
// "FILE: message"), then their number. Answers 0 without findings, 1 with.
int RunCheck(const char* pszFolder);
