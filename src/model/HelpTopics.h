#pragma once
// The help pages and the topic numbers by which the windows open them: the one map
// from a window to its page. The pages themselves are HTML files compiled into the
// desktop program (src/app/help/, resource prefix ":/help/").

#include <array>
#include <cstddef>
#include <string_view>

namespace dnp {

constexpr int kHelpContents = 0;
constexpr int kClass0HelpTopic = 19;
constexpr int kClass1HelpTopic = 36;
constexpr int kClass2HelpTopic = 37;
constexpr int kClass3HelpTopic = 38;
constexpr int kSendHelpTopic = 39;
constexpr int kRetrieveHelpTopic = 40;
constexpr int kClass0OrderHelpTopic = 41;
constexpr int kReportHeaderHelpTopic = 42;
constexpr int kCommSettingsHelpTopic = 108;
constexpr int kHistoryHelpTopic = 120;
// A page that no window opens by number; it is reached from the contents and links.
constexpr int kNoHelpTopic = -1;

// Where a page stands in the help window's contents list.
enum class HelpSection { Contents, Windows, Tasks };

struct HelpPage {
    int topic;            // the number a window asks for, or kNoHelpTopic
    HelpSection section;
    const char* file;     // the page's file in src/app/help/
    const char* title;    // as the contents list shows it (and the page's <title>)
};

// Every page, in the order of the help window's contents list.
inline constexpr std::array<HelpPage, 16> kHelpPages = {{
    {kHelpContents, HelpSection::Contents, "index.html", "Contents"},
    {kNoHelpTopic, HelpSection::Windows, "main-window.html", "Main window and files"},
    {kClass0HelpTopic, HelpSection::Windows, "class0.html", "Class 0 Selection"},
    {kClass1HelpTopic, HelpSection::Windows, "class1.html", "Class 1 Selection"},
    {kClass2HelpTopic, HelpSection::Windows, "class2.html", "Class 2 Selection"},
    {kClass3HelpTopic, HelpSection::Windows, "class3.html", "Class 3 Selection"},
    {kClass0OrderHelpTopic, HelpSection::Windows, "class0-order.html", "Class 0 Order"},
    {kSendHelpTopic, HelpSection::Windows, "send.html", "Send Configuration"},
    {kRetrieveHelpTopic, HelpSection::Windows, "retrieve.html", "Retrieve Configuration"},
    {kReportHeaderHelpTopic, HelpSection::Windows, "report-header.html", "Report Header"},
    {kCommSettingsHelpTopic, HelpSection::Windows, "communication-settings.html", "Communication Settings"},
    {kHistoryHelpTopic, HelpSection::Windows, "history.html", "History"},
    {kNoHelpTopic, HelpSection::Tasks, "task-send.html", "Send a configuration to a panel"},
    {kNoHelpTopic, HelpSection::Tasks, "task-retrieve.html", "Retrieve and check a panel"},
    {kNoHelpTopic, HelpSection::Tasks, "task-export.html", "Export the point list for the master"},
    {kNoHelpTopic, HelpSection::Tasks, "task-simulator.html", "Use the panel simulator"},
}};

// The topic of the class editor's help button for class 0-3: 19, 36, 37, 38.
constexpr int classHelpTopic(int cls)
{
    constexpr std::array<int, 4> topics = {kClass0HelpTopic, kClass1HelpTopic, kClass2HelpTopic, kClass3HelpTopic};
    return topics[static_cast<std::size_t>(cls)];
}

// The page of a topic number; the contents for a number no window uses.
constexpr const HelpPage& helpPageForTopic(int topic)
{
    for (const HelpPage& page : kHelpPages)
        if (topic != kNoHelpTopic && page.topic == topic)
            return page;
    return kHelpPages[0];
}

// The page of a file name, or nullptr.
constexpr const HelpPage* helpPageForFile(std::string_view file)
{
    for (const HelpPage& page : kHelpPages)
        if (file == page.file)
            return &page;
    return nullptr;
}

}  // namespace dnp
