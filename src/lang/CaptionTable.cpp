#include "lang/CaptionTable.h"

namespace kv {
namespace {

constexpr CaptionEntry kCaptions[] = {
    {10000, "MyFrame1", CaptionTarget::Title, -1,
     "Three Easy Steps to convert your audio files or extract audio from video files"},
    {10001, "chkSelectAll", CaptionTarget::Caption, -1, "Select/Unselect All"},
    {10002, "chkShutdown", CaptionTarget::Caption, -1, "Shutdown after conversion complete"},
    {10003, "chkWMAFileTags", CaptionTarget::Caption, -1, "Set WMA File ID Tags"},
    {10004, "cmdAddFile", CaptionTarget::Caption, -1, "Add Audio File..."},
    {10005, "cmdAddFolder", CaptionTarget::Caption, -1, "Add Folder..."},
    {10006, "cmdAddVideoFile", CaptionTarget::Caption, -1, "Add Video File..."},
    {10007, "cmdBrowse", CaptionTarget::Caption, -1, "Browse..."},
    {10008, "cmdChangeFormat", CaptionTarget::Caption, -1, "Change..."},
    {10009, "cmdCloseHelp", CaptionTarget::Caption, -1, "Close"},
    {10010, "cmdConvert", CaptionTarget::Caption, -1, "Convert All"},
    {10011, "cmdConvertSelected", CaptionTarget::Caption, -1, "Convert Selected"},
    {10012, "cmdDefaults", CaptionTarget::Caption, -1, "Restore Defaults"},
    {10013, "cmdDownloadWMF", CaptionTarget::Caption, -1,
     "Download and Install Windows Media Format (~3.9 MB) *"},
    {10014, "cmdHide", CaptionTarget::Caption, -1, "Save && Close"},
    {10015, "cmdOpenWMSite", CaptionTarget::Caption, -1,
     "Open Microsoft Media Player download page *"},
    {10016, "cmdPause", CaptionTarget::Caption, -1, "Pause"},
    {10017, "cmdPlay", CaptionTarget::Caption, -1, "Play"},
    {10018, "cmdPlayNext", CaptionTarget::Caption, -1, "Play Next"},
    {10019, "cmdPlayPrev", CaptionTarget::Caption, -1, "Play Previous"},
    {10020, "cmdRemove", CaptionTarget::Caption, -1, "Remove Selected"},
    {10021, "cmdStop", CaptionTarget::Caption, -1, "Stop"},
    {10022, "frAbout", CaptionTarget::Title, -1, "About"},
    {10023, "frFormats", CaptionTarget::Title, -1, "Output Audio Formats"},
    {100024, "frMain", CaptionTarget::Title, -1, "Kelvanto"},
    {10024, "Label1", CaptionTarget::Caption, -1, "   - Add Audio or Video Files/Folders"},
    {10025, "Label10", CaptionTarget::Caption, -1, "Select the output file format:-"},
    {10026, "Label11", CaptionTarget::Caption, -1, "Encoding Quality:"},
    {10027, "Label12", CaptionTarget::Caption, -1, "Title"},
    {10028, "Label13", CaptionTarget::Caption, -1, "Album Title"},
    {10029, "Label14", CaptionTarget::Caption, -1, "Rating"},
    {10030, "Label15", CaptionTarget::Caption, -1, "Genere"},
    {10031, "Label16", CaptionTarget::Caption, -1, "Artist"},
    {10032, "Label17", CaptionTarget::Caption, -1, "Description"},
    {10033, "Label18", CaptionTarget::Caption, -1, "Copyright"},
    {10034, "Label19", CaptionTarget::Caption, -1, "Year"},
    {10035, "Label20", CaptionTarget::Caption, -1, "Low"},
    {10036, "Label21", CaptionTarget::Caption, -1, "High"},
    {10037, "Label22", CaptionTarget::Caption, -1,
     "Sampling rate, Bitrate, and channels of the output file will be the same as input file"},
    {10038, "Label23", CaptionTarget::Caption, -1, "Less Quality(Smaller File)"},
    {10039, "Label24", CaptionTarget::Caption, -1, "High Quality(Bigger File)"},
    {10040, "Label25", CaptionTarget::Caption, -1, "Channel Mode:"},
    {10041, "Label26", CaptionTarget::Caption, -1, "Sampling Rate:"},
    {10035, "Label27", CaptionTarget::Caption, -1, "Low"},
    {10042, "Label28", CaptionTarget::Caption, -1, "Encoder Quality:"},
    {10043, "Label29", CaptionTarget::Caption, -1, "High (Slower)"},
    {10044, "Label30", CaptionTarget::Caption, -1, "Low (Faster)"},
    {10045, "Label31", CaptionTarget::Caption, -1, "Enocding Mode:"},
    {10036, "Label32", CaptionTarget::Caption, -1, "High"},
    {10042, "Label33", CaptionTarget::Caption, -1, "Encoder Quality:"},
    {10046, "Label34", CaptionTarget::Caption, -1, "Variable Bitrate (VBR) Value:-"},
    {10047, "Label35", CaptionTarget::Caption, -1,
     "Windows Media Format is not installed in your system and you can not select WMA as an output "
     "format unless you install Windows Media Format Version 9.0 or later or install Windows Media "
     "Player version 9.0 or later"},
    {10048, "Label36", CaptionTarget::Caption, -1,
     "* You have to restart Kelvanto after installing."},
    {100024, "Label38", CaptionTarget::Caption, -1, "Kelvanto"},
    {10049, "Label39", CaptionTarget::Caption, -1,
     "Kelvanto is an easy to use tool to convert audio files to various audio formats and extract "
     "audio from video files to various audio formats. The program can also rip audio CD tracks to "
     "the supported formats."},
    {10059, "Label40", CaptionTarget::Caption, -1, "Copyright \u00a9"},
    {10058, "lblRights", CaptionTarget::Caption, -1, "Kelvanto developers"},
    {10050, "Label4", CaptionTarget::Caption, -1, "   - Select Output Folder and Format"},
    {10051, "Label5", CaptionTarget::Caption, -1, "Output Folder:"},
    {10052, "Label6", CaptionTarget::Caption, -1, "  - Click Convert to start conversion"},
    {10053, "Label8", CaptionTarget::Caption, -1, "Output Format:"},
    {10054, "Label9", CaptionTarget::Caption, -1,
     "For Quick Adding:You can drag and drop audio or video files into the below list"},
    {10056, "optOtherFolder", CaptionTarget::Caption, -1, "Other folder"},
    {10057, "optSameFolder", CaptionTarget::Caption, -1, "Same folder as input file"},
    {20009, "Grid", CaptionTarget::Header, 2, "File Path"},
    {20010, "Grid", CaptionTarget::Header, 3, "Conversion Status"},
    {20011, "Grid", CaptionTarget::Header, 4, "Time Length"},
    {20012, "Grid", CaptionTarget::Header, 5, "File Size"},
    {10060, "cmdAbout", CaptionTarget::ToolTip, -1, "About"},
    {10061, "cmdMinimize", CaptionTarget::ToolTip, -1, "Minimize"},
    {10062, "cmdClose", CaptionTarget::ToolTip, -1, "Close"},
    {10063, "MyButton1", CaptionTarget::ToolTip, -1, "Help"},
    {10064, "lblSimultaneous", CaptionTarget::Caption, -1, "Simultaneous conversions"},
    {10070, "chkCopyTags", CaptionTarget::Caption, -1, "Copy tags from the source"},
    // The pages of the formats encoded in-process (app/FormatPages.h names their labels).
    {10071, "lblFLACTitle", CaptionTarget::Caption, -1, "Compression Level:"},
    {10074, "lblFLACLow", CaptionTarget::Caption, -1, "Faster"},
    {10075, "lblFLACHigh", CaptionTarget::Caption, -1, "Smaller file"},
    {10073, "lblFLACNote", CaptionTarget::Caption, -1,
     "Lossless: bit depth and sampling rate as input"},
    {10072, "lblOPUSTitle", CaptionTarget::Caption, -1, "Bitrate for stereo:"},
    {10075, "lblOPUSLow", CaptionTarget::Caption, -1, "Smaller file"},
    {10076, "lblOPUSHigh", CaptionTarget::Caption, -1, "Better quality"},
    {10077, "lblOPUSNote", CaptionTarget::Caption, -1,
     "Mono gets half this rate; surround gets it for each pair of channels and half for each "
     "single channel. Always encoded at 48 kHz."},
    {10072, "lblM4ATitle", CaptionTarget::Caption, -1, "Bitrate for stereo:"},
    {10075, "lblM4ALow", CaptionTarget::Caption, -1, "Smaller file"},
    {10076, "lblM4AHigh", CaptionTarget::Caption, -1, "Better quality"},
    {10078, "lblM4ANote", CaptionTarget::Caption, -1,
     "AAC-LC. Mono gets half this rate; surround gets it for each pair of channels and half for "
     "each single channel."},
    {10079, "chkSubfolders", CaptionTarget::Caption, -1, "Include sub-folders"},
};

constexpr MessageKey kMessages[] = {
    {20001, "All Supported Audio Formats"},
    {20002, "Common Audio Files"},
    {20003, "Select one or more audio files"},
    {20006, "Select folder to add"},
    {20007, "Adding files... %1 / %2"},
    {20008, "Cancelled"},
    {20013, "Error"},
    {20014, "Complete"},
    {30006, "(Error code: "},
    {30007, "Your System does not support Windows Media Audio Encoding. To Support it, you have to "
            "do one of the following"},
    {30008, "Click Yes to download and install Windows Media Format (~3.9 MB)."},
    {30009, "Click No to open Microsoft Media Player web site to download and install Media Player "
            "Version 9.0 or later."},
    {30010, "Click Cancel to manaully install it by yourself."},
    {30011, "You have to restart Kelvanto after installing"},
    {30012, "Output Folder is not exist and can not be created."},
    {100016, "Resume"},
};

} // namespace

std::span<const CaptionEntry> CaptionTable() {
    return kCaptions;
}

std::span<const MessageKey> MessageKeys() {
    return kMessages;
}

} // namespace kv
