#include "cli/command_help.h"

namespace mailferry {

namespace {

constexpr CommandHelp kCommands[] = {
    {"info", "usage: mailferry info FILE...\n", "format, encoding and node-database summary of PST files",
     "Prints for each file its format (ANSI or Unicode), block encoding, size, node and block counts, and every\n"
     "node whose data or subnodes cannot be read.\n"
     "\n"
     "exit status: 0 every file was read, 1 a file could not be opened, 2 bad arguments\n"},
    {"list", "usage: mailferry list FILE... [--items] [--codepage N] [--json]\n",
     "the store name and folder tree of PST files, with --items every message",
     "Prints each file's store name and every folder below its top folder, indented under its parent, with its\n"
     "kind and item count; journal, notes and tasks folders are marked as not converted.\n"
     "\n"
     "options:\n"
     "  --items          also one line per message: class, read flag, date sent, sender, subject\n"
     "  --codepage N     the code page of an ANSI file's 8-bit text (default: the setting defaultCodePage)\n"
     "  --json           the same as one JSON document; each message carries the node id that show --nid takes\n"
     "\n"
     "exit status: 0 success, 1 a file failed (its error ends its listing), 2 bad arguments\n"},
    {"props", "usage: mailferry props FILE [--nid N] [--table | --rtf]\n",
     "a node's properties, its table, or its compressed RTF body with the HTML made of it",
     "A diagnostic view of one node: its properties (id, type, value). A property that cannot be read shows its\n"
     "error in place of the value, and the rest follows.\n"
     "\n"
     "options:\n"
     "  --nid N          the node, decimal or hexadecimal with 0x (default: 0x21, the message store)\n"
     "  --table          the node's table: its columns, then every row's cells\n"
     "  --rtf            a message's compressed RTF body and the HTML made of it\n"
     "\n"
     "exit status: 0 success, 1 the file or node cannot be read as asked, 2 bad arguments\n"},
    {"show",
     "usage: mailferry show FILE --nid N [--mbox] [--codepage N] [--target apple|archive|plain] [--reference]\n"
     "                      [--timezone ZONE]\n",
     "one item as convert writes it: a message as EML, a contact as a vCard, an appointment as iCalendar",
     "Prints one item on standard output as convert writes it: a message as an EML file, a contact as a vCard,\n"
     "an appointment as an iCalendar file.\n"
     "\n"
     "options:\n"
     "  --nid N          the item's node id, as list --json prints it (decimal or hexadecimal with 0x)\n"
     "  --mbox           a message (or a reference mail) as an MBOX entry instead of EML\n"
     "  --codepage N     the code page of an ANSI file's 8-bit text (default: the setting defaultCodePage)\n"
     "  --target T       a contact's vCard as the apple, archive or plain target writes it (default: plain)\n"
     "  --reference      an appointment's calendar reference mail (its body and attachments) instead of the event\n"
     "  --timezone ZONE  the time zone of local times, such as Europe/Berlin (default: the system's, see TZ)\n"
     "\n"
     "exit status: 0 success, 1 the file or item cannot be read, 64 bad arguments\n"},
    {"convert",
     "usage: mailferry convert FILE... --out DIR [--target apple|thunderbird|archive|files] [--format mbox|eml]\n"
     "                         [--split-mbox MB] [--read-unread] [--merge-contacts] [--merge-events]\n"
     "                         [--only mail,contacts,calendar] [--folder PATH]... [--ignore-empty]\n"
     "                         [--codepage N] [--timezone ZONE] [--quiet]\n",
     "converts the mail, contacts and calendars of PST files into a target's layout below DIR",
     "Converts the mail, contact and calendar folders of PST files into the chosen target's layout below DIR:\n"
     "mail as MBOX or EML, contacts as vCards, appointments as iCalendar events with calendar reference mails\n"
     "for what an event cannot hold. It prints the report and writes a detailed log file (UTF-16) beside the\n"
     "output. On a terminal a progress bar shows the run; Ctrl-C cancels it after the item in progress and keeps\n"
     "what was written. A damaged item is skipped and counted.\n"
     "\n"
     "options:\n"
     "  --out DIR        the output folder, made when missing\n"
     "  --target T       apple: \"Mails\" with one .mbox mailbox per folder, for Apple Mail;\n"
     "                   thunderbird: \"Mails\" with a folder of EML files per folder (mailbox files and .sbd\n"
     "                   folders with --format mbox), for Thunderbird;\n"
     "                   archive: an \"Outlook PST Export.rge\" package for Outlook 2011 and Entourage;\n"
     "                   files: a folder per folder, holding its MBOX file or its EML files (default)\n"
     "  --format F       mbox or eml (default: mbox, eml for thunderbird); apple and archive take mbox only\n"
     "  --split-mbox MB  starts a new NAME_Part_N.mbox file before an MBOX file would pass MB megabytes\n"
     "                   (files, mbox)\n"
     "  --read-unread    read and unread mail into separate files (files)\n"
     "  --merge-contacts a folder's contacts into one .vcf file instead of one file each (files)\n"
     "  --merge-events   a folder's events into one \"Calendar Events.ics\" instead of one file each (files)\n"
     "  --only KINDS     converts only these kinds of folders: mail, contacts, calendar, joined by commas\n"
     "  --folder PATH    converts only this folder and those below it; PATH is the store name and the folders\n"
     "                   down to it, as list shows them, such as \"Personal Folders/Inbox\"; repeatable\n"
     "  --ignore-empty   leaves out folders without items\n"
     "  --codepage N     the code page of an ANSI file's 8-bit text (default: the setting defaultCodePage)\n"
     "  --timezone ZONE  the time zone of local times, such as Europe/Berlin (default: the system's, see TZ)\n"
     "  --quiet          no progress bar\n"
     "\n"
     "exit status: 0 success, 1 cancelled, 2 failed (a file could not be loaded or the output not written),\n"
     "3 done with items skipped, 64 bad arguments\n"},
};

}  // namespace

const CommandHelp* FindCommandHelp(std::string_view name) {
    for (const CommandHelp& help : kCommands)
        if (help.name == name) return &help;
    return nullptr;
}

std::string_view CommandUsage(std::string_view name) {
    const CommandHelp* help = FindCommandHelp(name);
    return help ? help->usage : std::string_view();
}

void WriteOverview(std::ostream& out) {
    out << "usage: mailferry COMMAND [ARGS...]\n"
           "\n"
           "Converts Outlook PST files (ANSI and Unicode) into MBOX or EML mail for Apple Mail, Thunderbird, an\n"
           "Outlook 2011 archive or plain files. It reads the PST file and never writes to it.\n"
           "\n"
           "commands:\n";
    for (const CommandHelp& help : kCommands) {
        out << "  " << help.name << std::string(10 - help.name.size(), ' ') << help.summary << "\n";
    }
    out << "  help [COMMAND]\n"
           "            this text, or a command's options and exit statuses\n"
           "\n"
           "mailferry --version prints the version; man mailferry tells more.\n";
}

void WriteCommandHelp(const CommandHelp& help, std::ostream& out) {
    out << help.usage << "\n" << help.details;
}

std::string_view VersionLine() {
    return "mailferry " MF_VERSION;
}

}  // namespace mailferry
