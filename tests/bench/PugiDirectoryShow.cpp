// The yardstick for the directory load (scripts/bench-directory.sh): reads a plain station
// directory (MoviesSettings.txt and the category files it names) with pugixml and prints the same
// lines as "orvanta-lists show", so that the two outputs can be compared byte for byte and timed
// against each other. With --walk-only it reads every caption, path and URL but prints nothing.

#include <pugixml.hpp>

#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

namespace
{

struct SWalk
{
    long long nCount = 0;
    bool bPrint = true;
    // What the walk read, so that the work cannot be left out.
    size_t uBytes = 0;
};

bool IsNamed(const pugi::xml_node& node, const char* pszName)
{
    return strcasecmp(node.name(), pszName) == 0;
}

// The last child of that name ignoring case, as the program's reader finds it.
pugi::xml_node FindChild(const pugi::xml_node& node, const char* pszName)
{
    pugi::xml_node found;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && IsNamed(child, pszName))
            found = child;
    return found;
}

std::string Field(const char* pszText)
{
    std::string str(pszText);
    for (char& c : str)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return str;
}

void Print(SWalk& walk, long long nParent, int nType, const char* pszCaption,
           const std::string& strPath, const char* pszUrl)
{
    ++walk.nCount;
    if (!walk.bPrint)
    {
        walk.uBytes += std::strlen(pszCaption) + strPath.size() + std::strlen(pszUrl);
        return;
    }
    std::printf("%lld\t%lld\t%d\t%s\t%s\t%s\n", walk.nCount - 1, nParent, nType,
                Field(pszCaption).c_str(), Field(strPath.c_str()).c_str(), Field(pszUrl).c_str());
}

std::string JoinPath(const std::string& strPath, const char* pszPiece)
{
    if (strPath.empty())
        return pszPiece;
    return strPath.back() == '/' ? strPath + pszPiece : strPath + "/" + pszPiece;
}

void WalkMenu(SWalk& walk, const pugi::xml_node& menu, long long nParent,
              const std::string& strPath)
{
    for (pugi::xml_node entry = menu.first_child(); entry; entry = entry.next_sibling())
    {
        const bool bStation = IsNamed(entry, "MENU_ITEM");
        if (!bStation && !IsNamed(entry, "MENU"))
            continue;
        const char* pszCaption = FindChild(entry, "CAPTION").child_value();
        if (*pszCaption == 0)
            continue;
        const long long nItem = walk.nCount;
        const std::string strItemPath = JoinPath(strPath, pszCaption);
        if (bStation)
            Print(walk, nParent, 1, pszCaption, strItemPath, FindChild(entry, "URL").child_value());
        else
        {
            Print(walk, nParent, 0, pszCaption, std::string(), "Folder");
            WalkMenu(walk, entry, nItem, strItemPath);
        }
    }
}

} // namespace

int main(int nArgs, char** ppArgs)
{
    const bool bWalkOnly = nArgs == 3 && std::strcmp(ppArgs[1], "--walk-only") == 0;
    if (nArgs != 2 && !bWalkOnly)
    {
        std::fprintf(stderr, "usage: %s [--walk-only] PLAINDIR\n", ppArgs[0]);
        return 2;
    }
    const std::string strFolder = std::string(ppArgs[nArgs - 1]) + "/";
    pugi::xml_document movies;
    if (!movies.load_file((strFolder + "MoviesSettings.txt").c_str()))
        return 1;
    SWalk walk;
    walk.bPrint = !bWalkOnly;
    const pugi::xml_node root = movies.document_element();
    for (pugi::xml_node entry = FindChild(root, "MOVIES").first_child(); entry;
         entry = entry.next_sibling())
    {
        if (!IsNamed(entry, "CATEGORY") || !FindChild(entry, "NAME"))
            continue;
        const long long nCategory = walk.nCount;
        Print(walk, -1, 0, FindChild(entry, "NAME").child_value(), std::string(), "Folder");
        const pugi::xml_node fileName = FindChild(entry, "FILE_NAME");
        if (!fileName)
            continue;
        pugi::xml_document category;
        if (!category.load_file((strFolder + fileName.child_value()).c_str()))
            continue;
        const pugi::xml_node menu = FindChild(category.document_element(), "MENU");
        if (menu)
            WalkMenu(walk, menu, nCategory, FindChild(menu, "CAPTION").child_value());
    }
    if (bWalkOnly)
        std::printf("%lld records, %zu bytes of text\n", walk.nCount, walk.uBytes);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
