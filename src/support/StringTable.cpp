#include "support/StringTable.h"
#include "support/StringTableEntries.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "BuildConfig.h"
#include "support/VeskCatalog.h"

namespace mailwright {
namespace {

struct Entry {
    unsigned id;
    std::string_view text;
    // Registry paths, addresses, file and product names are the same in every language.
    bool translated = true;
};

constexpr bool kFixed = false;

#define MW_WEB "http://" MAILWRIGHT_WEB_HOST

// Sorted by identifier.
constexpr Entry kStrings[] = {
    {IDS_UPDATE_IN_PROGRESS, "Database update in progress..."},
    {IDS_ERR_ACCOUNT_IDENTITY, "Error determining account identity."},
    {IDS_ERR_ACCOUNT_ID, "Error setting account ID."},
    {IDS_ERR_CONFIGURING_ACCOUNT, "Error while configuring account."},
    {IDS_ERR_ACCOUNT_DATA, "Error retrieving data for account creation."},
    {IDS_ERR_CONFIGURING, "Error while configuring."},
    {IDS_UPDATE_DONE, "Database has been updated."},
    {IDS_UPDATE_INTERRUPTED, "Database update interrupted."},
    {IDS_UPDATE_FAILED, "Database update failed."},
    {IDS_UPDATE_CONNECTION_ERROR, "Connection error while updating database file."},
    {IDS_UPDATE_WRITE_ERROR, "Error writing to file."},
    {IDS_ERR_LOCATING_DATABASE, "Error locating database file."},
    {IDS_UNKNOWN_PROVIDER,
     "Unfortunately the program has not identified the email address and cannot configure the "
     "account.\n\nIf your account is hosted by a popular public provider, contact us by sending an "
     "email to " MAILWRIGHT_SUPPORT_EMAIL
     " and provide the name of the provider. We will do our best to add the provider to the data "
     "base."},
    {IDS_RESTART_OUTLOOK_EXPRESS, "Restart Outlook Express to import the new account."},
    {IDS_MAIN_HEADER,
     "This program will let you configure an email account in Outlook Express, Microsoft Outlook, "
     "Windows Mail and Windows Live Mail in a split second just by providing your email address."},
    {IDS_ACCOUNT_CREATED, "Your account has been created successfully."},
    {IDS_PASSWORD_HINT,
     "When sending or receiving messages for the first time you will be asked to provide a "
     "password."},
    {IDS_ADDITIONAL_INFORMATION, "\n\nAdditional information:\n\n"},
    {IDS_ERR_NO_START_IDENTITY,
     "Initial identity cannot be located. Run Outlook Express and try again."},
    {IDS_OE_CONFIGURED, "Outlook Express has been configured correctly and is ready to work."},
    {IDS_ERR_SETTINGS_FOLDER, "Cannot access the account settings folder."},
    {IDS_KEY_WINDOWS_MAIL, "Software\\Microsoft\\Windows Mail", kFixed},
    {IDS_ERR_XML_ADD_NODE, "Cannot add a new node to xml file."},
    {IDS_ERR_STORE_ROOT_KEY, "Cannot read store root location from registry key"},
    {IDS_ERR_STORE_ROOT_PATH, "Cannot find data folder path for Windows Mail."},
    {IDS_KEY_OFFICE, "Software\\Microsoft\\Office", kFixed},
    {IDS_KEY_OUTLOOK_CURVER, "Outlook.Application\\CurVer", kFixed},
    {IDS_KEY_MESSAGING_PROFILES,
     "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles",
     kFixed},
    {IDS_OUTLOOK_NOT_OPENED,
     "Microsoft Outlook has not been opened yet.\n\nRun MS Outlook and try creating the account "
     "again."},
    {IDS_SELECT_PROFILE, "Select a profile."},
    {IDS_KEY_OFFICE_PREFIX, "Software\\Microsoft\\Office\\", kFixed},
    {IDS_ERR_OUTLOOK_ACCOUNT, "Could not create an account in MS Outlook."},
    {IDS_ERR_OPEN_KEY, "Cannot open key in system registry."},
    {IDS_ERR_READ_VALUE, "Cannot read value from system registry."},
    {IDS_ERR_REMOVE_VALUE, "Cannot remove value from system registry."},
    {IDS_ERR_SET_VALUE, "Cannot set value in system registry."},
    {IDS_ERR_EXTRACT_TEMPLATE, "Cannot extract template.prf from resources."},
    {IDS_ERR_SETTINGS_FILE_PATH, "Incorrect path to settings file."},
    {IDS_KEY_OUTLOOK_SETUP_SUFFIX, ".0\\Outlook\\Setup", kFixed},
    {IDS_RESTART_OUTLOOK, "To import a new mail account run MS Outlook again."},
    {IDS_IMPORT_PENDING,
     "An account ready to import to MS Outlook has been detected.\n\nOpen MS Outlook to import the "
     "account and next click Create account in order to a new account."},
    {IDS_KEY_CLIENTS_MAIL, "SOFTWARE\\Clients\\Mail", kFixed},
    {IDS_OUTLOOK_TOO_OLD,
     "We are sorry but this program does not support version of Microsoft Outlook earlier than "
     "2002."},
    {IDS_OS_UNKNOWN, "Operating system cannot be identified."},
    {IDS_PROVIDE_DATA, "Provide the necessary data."},
    {IDS_REOPEN_WINDOWS_MAIL, "In order to import a new account reopen Windows Mail."},
    {IDS_CHOOSE_PROFILE, "Choose the profile in Outlook to create the account in."},
    {IDS_ERR_ACCOUNT_XML, "Error configuring account."},
    {IDS_WINDOWS_MAIL_CONFIGURED, "Window Mail has been configured correctly and is ready to work."},
    {IDS_NEWS_OUTLOOK_EXPRESS, "Make Outlook Express a newsgroup reader."},
    {IDS_NEWS_WINDOWS_MAIL, "Make Windows Mail a newsgroup reader."},
    {IDS_WINDOWS_TOO_OLD, "We are sorry but this program is dedicated for Windows XP and later."},
    {IDS_NEWS_LIVE_MAIL, "Make Windows Live Mail a newsgroup reader."},
    {IDS_KEY_LIVE_MAIL, "Software\\Microsoft\\Windows Live Mail", kFixed},
    {IDS_LIVE_MAIL_CONFIGURED,
     "Window Live Mail has been configured correctly and is ready to work."},
    {IDS_NO_MAIL_CLIENTS,
     "The program has not detected any mail clients on this machine or none has ever been "
     "opened."},
    {IDS_MORE_TOOLTIP, "More about correct configuration of Outlook Express"},
    {IDS_ERR_UNKNOWN_CREATE, "Unknown error creating mail account."},
    {IDS_ERR_UNKNOWN_NEWS, "Unknown error configuring mail client for discussion groups."},
    {IDS_URL_PRODUCT, MW_WEB "/mailwright/", kFixed},
    {IDS_URL_MAKER, MW_WEB "/?sts=504", kFixed},
    {IDS_MAKER_HOST, MAILWRIGHT_WEB_HOST, kFixed},
    {IDS_ERR_UNKNOWN_DEFAULT_PROFILE,
     "Unknown error checking the default profile in Microsoft Office Outlook."},
    {IDS_ERR_UNKNOWN_OUTLOOK, "Unknown error creating mail account in Microsoft Office Outlook."},
    {IDS_ERR_UNKNOWN_WINDOWS_MAIL, "Unknown error creating mail account in Windows Mail."},
    {IDS_ERR_UNKNOWN_LIVE_MAIL, "Unknown error creating mail account in Windows Live Mail."},
    {IDS_LIVE_MAIL_NEVER_OPENED,
     "Windows Live Mail is installed but has never been opened.\n\nTo create a mail account, open "
     "Windows Live Mail and next run Mailwright."},
    {IDS_USERNAME_PASSWORD_HINT,
     "When sending or receiving messages for the first time you will be asked to provide the "
     "username and password."},
    {IDS_URL_SHARE, MW_WEB "/share-outlook/?sts=504", kFixed},
    {IDS_URL_TOOLS, MW_WEB "/downloads/freeware/?sts=504", kFixed},
    {IDS_ERR_CONTROL_EMAIL,
     "The email address contains a control character, such as a line break or a tab. Remove it and try "
     "again."},
    {IDS_ERR_CONTROL_DISPLAY_NAME,
     "The display name contains a control character, such as a line break or a tab. Remove it and try "
     "again."},
    {IDS_ERR_CONTROL_USER_NAME,
     "The username contains a control character, such as a line break or a tab. Remove it and try again."},
    {IDS_FOUND_BY_MAIL_SERVERS,
     "Your domain is not in the program's database. Its mail goes to the mail servers of %s, so "
     "the account uses their settings."},
    {IDS_FOUND_PUBLISHED_SETTINGS,
     "Your domain is not in the program's database. The account uses the settings published by %s."},
    {IDS_NO_WINE_PREFIX,
     "No Wine prefix was found.\n\nA Wine prefix is the folder in which Wine keeps a Windows "
     "installation (~/.wine, or a bottle of Bottles, a virtual drive of PlayOnLinux...). Make one by "
     "installing your mail client with Wine or a launcher, or name the prefix folder: \"Choose "
     "folder...\" in the dialog program, --prefix DIR or the WINEPREFIX variable on the command line."},
    {IDS_WINE_PROGRAMS_RUNNING, "Wine is running programs in this prefix (%s). Close them and try again."},
    {IDS_WINE_SERVER_STAYS,
     "Wine is still running in this prefix, though none of its programs is open. Wait until it has "
     "ended (or end it with \"wineserver -k\") and try again."},
    {IDS_CHOOSE_PREFIX_TITLE, "Choose a Wine prefix"},
    {IDS_CHOOSE_PREFIX_TEXT, "Mailwright found several Wine prefixes. Choose the one whose mail client gets the account."},
    {IDS_CHOOSE_FOLDER, "Choose folder..."},
    {IDS_NOT_A_PREFIX, "%s is not a Wine prefix: it holds no system.reg and user.reg."},
    {IDS_PREFIX_IN_TITLE, "%s - Wine prefix %s"},
    {IDS_PREFIX_COLUMN_NAME, "Name"},
    {IDS_PREFIX_COLUMN_WINDOWS, "Windows"},
    {IDS_PREFIX_COLUMN_CLIENTS, "Mail clients"},
    {IDS_PREFIX_COLUMN_FOLDER, "Folder"},
    {IDS_PREFIX_VERSION_UNKNOWN, "unknown"},
    {IDS_PREFIX_NO_CLIENTS, "none"},
    {IDS_PREFIX_WINE_RUNS, "Wine runs it"},
    {IDS_FOUND_ISP_DATABASE,
     "Your domain is not in the program's database. The account uses the settings that the public ISP "
     "database of the open-source mail programs lists for %s."},
    {IDS_FOUND_MAIL_HOST_SETTINGS,
     "Your domain is not in the program's database. Its mail goes to the servers of %s, so the account "
     "uses the settings that %s publishes for them."},
    {IDS_FOUND_MAIL_HOST_ISP_DATABASE,
     "Your domain is not in the program's database. Its mail goes to the servers of %s, so the account "
     "uses the settings that the public ISP database of the open-source mail programs lists for %s."},
    {IDS_FOUND_SERVICE_RECORDS,
     "Your domain is not in the program's database. The account uses the mail servers that %s names in "
     "its DNS service records. The log-on name is taken to be your full email address."},
    {IDS_FOUND_BY_GUESSING,
     "Your domain is not in the program's database and publishes no settings. The servers were found by "
     "trying common server names for %s: each answered as a mail server over a secure connection with a "
     "valid certificate. The log-on name is taken to be your full email address; if the server refuses "
     "it, change it in the account's settings."},
    {IDS_ERR_NOT_REGULAR_FILE,
     "The file is not a regular file (it is a pipe, a socket or a device), so it is neither read nor "
     "replaced."},
    {IDS_ERR_HARD_LINKS,
     "A registry file of this Wine prefix (user.reg or system.reg) has several hard links, which would no "
     "longer share its content once it is replaced, so it is left unchanged. Make it a file of its own "
     "(copy it, then move the copy over it) and try again."},
    {IDS_ERR_PREFIX_BUSY,
     "Another Mailwright is changing the registry of this Wine prefix and has not finished in time. Try "
     "again when it has finished."},
    {IDS_APP_TITLE, "Brightfold Mailwright", kFixed},
    {IDS_DATABASE_FILE, "providers.lst", kFixed},
};

const Entry* Find(unsigned id) {
    auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                               [](const Entry& e, unsigned key) { return e.id < key; });
    return (it != std::end(kStrings) && it->id == id) ? it : nullptr;
}

}  // namespace

std::string LoadString(unsigned id) {
    const Entry* entry = Find(id);
    if (!entry) return {};
    const std::string english(entry->text);
    return entry->translated ? VeskCatalog::Translate(TranslationContext(id), english) : english;
}

std::string LoadEnglishString(unsigned id) {
    const Entry* entry = Find(id);
    return entry ? std::string(entry->text) : std::string();
}

bool HasString(unsigned id) { return Find(id) != nullptr; }

bool IsTranslatedString(unsigned id) {
    const Entry* entry = Find(id);
    return entry && entry->translated;
}

std::string TranslationContext(unsigned id) { return std::to_string(id); }

std::vector<unsigned> StringIds() {
    std::vector<unsigned> ids;
    for (const Entry& entry : kStrings) ids.push_back(entry.id);
    return ids;
}

}  // namespace mailwright
