#pragma once
// The compress window: packs the files selected in the main window into an archive with one
// of the user's archivers, waits for the archiver, then deletes them through the main
// window's delete-selected command.
#include "archiving/Archivers.h"
#include "browser/Deletion.h"
#include "platform/ArchiveReader.h"
#include "platform/Services.h"
#include "platform/toolkit/Form.h"

#include <functional>
#include <string>

namespace velmora {

// What the compress window takes from the main window.
struct ArcSource {
    DirListBox& folders; // its path is the folder of the files
    FileListBox& files;  // its selected entries are packed
    // The main window's delete-selected command, with its own question; each entry goes only
    // when the check allows it.
    std::function<void(const MayDelete&)> deleteSelected;
};

class frmArcTo : public Form {
public:
    // `browse` opens the folder chooser over this window for `txtDestFolder`.
    frmArcTo(Toolkit& tk, const Services& services, ArcSource source, std::function<void(frmArcTo&)> browse);

    void cboArchivers_Click();
    void cmdOK_Click();
    void cmdBrowse_Click();
    // While the archiver runs, the close box stops it and the waiting: nothing is deleted.
    void close() override;

    Image imgLG{*this, "imgLG"};
    Label lblProcess{*this, "lblProcess"};
    Line linSEP{*this, "linSEP"};
    Shape shpx{*this, "shpx"};
    Label lblArchiver{*this, "lblArchiver"};
    ComboBox cboArchivers{*this, "cboArchivers"};
    Label lblArc{*this, "lblArc"};
    TextBox txtArchive{*this, "txtArchive"};
    TextBox txtExt{*this, "txtExt"};
    Label lblFolder{*this, "lblFolder"};
    TextBox txtDestFolder{*this, "txtDestFolder"};
    CommandButton cmdBrowse{*this, "cmdBrowse"};
    CommandButton cmdOK{*this, "cmdOK"};
    CommandButton cmdCancel{*this, "cmdCancel"};

protected:
    void Form_Load() override;

private:
    // Runs the archiver and waits for it while the windows stay alive; true when it ended
    // with status 0.
    bool pack(const std::string& commandLine);
    // What the archive holds, the windows alive meanwhile (the close box gives up).
    ArchiveListing read(const std::string& archive);
    // Stages 2 to 4: the stage line, and only Close usable at the end.
    void stage(int n);

    const Services& m_services;
    ArcSource m_source;
    std::function<void(frmArcTo&)> m_browse;
    archivers::Chosen m_archiver;
    int m_stage = 1;
    bool m_waiting = false;
    bool m_abandoned = false;
};

} // namespace velmora
