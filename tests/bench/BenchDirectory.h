#pragma once
// A large station directory for the benchmarks: the movies settings file and one category file
// per category, scrambled as the servers deliver them, in a temporary folder.

#include "config/FileHandler.h"
#include "directory/StationDirectory.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// nCategories categories of nMenusPerCategory menus of nStationsPerMenu stations. Station n is
// captioned "Channel n" with n in six digits (every fourth "Tom &amp; Jerry TV n", as names
// with an ampersand are written), so the digits of the last station are found in it alone. With
// bIcons each station names one of a hundred icons on a port of 127.0.0.1 where nothing listens.
// Answers the folder, ending in "/", or "" when it cannot be made.
inline std::string BuildBenchDirectory(int nCategories, int nMenusPerCategory, int nStationsPerMenu,
                                       bool bIcons = false)
{
    std::string strFolder = (std::filesystem::temp_directory_path() / "directory-bench-XXXXXX");
    if (mkdtemp(strFolder.data()) == nullptr)
        return std::string();
    strFolder += "/";

    std::string strMovies = "<MOVIES_SETTINGS>\n\t<VERSION>1.0</VERSION>\n\t<MOVIES>\n";
    char szLine[512];
    int nStation = 0;
    for (int nCategory = 0; nCategory < nCategories; ++nCategory)
    {
        std::snprintf(szLine, sizeof szLine,
                      "\t\t<CATEGORY>\n\t\t\t<NAME>Category %d</NAME>\n"
                      "\t\t\t<FILE_NAME>category%d.txt</FILE_NAME>\n\t\t</CATEGORY>\n",
                      nCategory, nCategory);
        strMovies += szLine;

        std::string strText = "<CATEGORY_FILE>\n\t<VERSION>2.4.118</VERSION>\n\t<MENU>\n"
                              "\t\t<CAPTION>All Channels</CAPTION>\n";
        for (int nMenu = 0; nMenu < nMenusPerCategory; ++nMenu)
        {
            std::snprintf(szLine, sizeof szLine,
                          "\t\t<MENU>\n\t\t\t<CAPTION>Menu %d.%d</CAPTION>\n", nCategory, nMenu);
            strText += szLine;
            for (int i = 0; i < nStationsPerMenu; ++i, ++nStation)
            {
                std::snprintf(szLine, sizeof szLine,
                              "\t\t\t<MENU_ITEM>\n"
                              "\t\t\t\t<CAPTION>%s %06d</CAPTION>\n"
                              "\t\t\t\t<URL>http://s%d.example.net/%06d.m3u8</URL>\n",
                              nStation % 4 == 0 ? "Tom &amp; Jerry TV" : "Channel", nStation,
                              nStation % 10, nStation);
                strText += szLine;
                if (bIcons)
                {
                    std::snprintf(szLine, sizeof szLine,
                                  "\t\t\t\t<ICON_URL>http://127.0.0.1:9/icons/%d.gif</ICON_URL>\n",
                                  nStation % 100);
                    strText += szLine;
                }
                strText += "\t\t\t</MENU_ITEM>\n";
            }
            strText += "\t\t</MENU>\n";
        }
        strText += "\t</MENU>\n</CATEGORY_FILE>\n";
        std::ofstream(strFolder + "category" + std::to_string(nCategory) + ".txt", std::ios::binary)
            << CFileHandler::Scramble(strText);
    }
    strMovies += "\t</MOVIES>\n</MOVIES_SETTINGS>\n";
    std::ofstream(strFolder + MOVIES_SETTINGS_FILE, std::ios::binary)
        << CFileHandler::Scramble(strMovies);
    return strFolder;
}
