// What a screen reader hears for each kind of control.
#include "platform/toolkit/Accessible.h"
#include "platform/testing/ScriptedFrontEnd.h"
#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Form.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

struct NamedForm : Form {
    explicit NamedForm(Toolkit& tk) : Form(tk, "frmNamed")
    {
        cmdHelp.setPicture("help.gif");
        cmdHelp.setToolTip("&Справка");
        cmdOK.setCaption("&Сохранить && выйти");
        cmdOK.setToolTip("Сохранить настройки");
        lblFar.setCaption("Далёкая");
        lblFar.setGeometry({6000, 5000, 1000, 200});
        lblFiles.setCaption("&Файлы:");
        lblFiles.setGeometry({0, 1000, 900, 200});
        lstFiles.setGeometry({3000, 900, 2000, 1500}); // far along the row of "Файлы"
        lblTypes.setCaption("Типы");
        lblTypes.setGeometry({5200, 0, 1000, 200});
        cboTypes.setGeometry({5200, 250, 1500, 300});
        fraMasks.setCaption("&Маски");
        lblInside.setCaption("Внутри");
        lblInside.setGeometry({0, 0, 1000, 200});
        lstMasks.setGeometry({0, 250, 1000, 1000});
        txtLost.setGeometry({6000, 5900, 500, 300}); // 700 below "Далёкая", under "Маски" not in it
        lstTipped.setToolTip("Подсказка");
        lstTipped.setGeometry({9000, 9000, 500, 500});
    }

    CommandButton cmdHelp{*this, "cmdHelp"};
    CommandButton cmdOK{*this, "cmdOK"};
    Label lblFar{*this, "lblFar"};
    Label lblFiles{*this, "lblFiles"};
    ListBox lstFiles{*this, "lstFiles"};
    Label lblTypes{*this, "lblTypes"};
    ComboBox cboTypes{*this, "cboTypes"};
    Frame fraMasks{*this, "fraMasks"};
    Label lblInside{*this, "lblInside", &fraMasks};
    ListBox lstMasks{*this, "lstMasks", &fraMasks};
    TextBox txtLost{*this, "txtLost"};
    ListBox lstTipped{*this, "lstTipped"};
};

TEST(AccessibleTest, NamesComeFromCaptionsPictureTipsAndTheLabelBeside)
{
    testing::ScriptedFrontEnd fe;
    Toolkit tk{fe};
    NamedForm f{tk};

    EXPECT_EQ(withoutAccessKey("&a&&b&"), "a&b");
    EXPECT_EQ(accessibleName(f.cmdHelp), "Справка");
    EXPECT_EQ(accessibleDescription(f.cmdHelp), "");
    EXPECT_EQ(accessibleName(f.cmdOK), "Сохранить & выйти");
    EXPECT_EQ(accessibleDescription(f.cmdOK), "Сохранить настройки");
    // A label on the row or just above names a box; one farther above does not.
    EXPECT_EQ(labelBeside(f.lstFiles), &f.lblFiles);
    EXPECT_EQ(accessibleName(f.lstFiles), "Файлы:");
    EXPECT_EQ(accessibleName(f.cboTypes), "Типы");
    // Only a label of the same container names a control; else its tip, else its frame.
    EXPECT_EQ(accessibleName(f.lstMasks), "Внутри");
    f.lblInside.setCaption("");
    EXPECT_EQ(accessibleName(f.lstMasks), "Маски");
    EXPECT_EQ(labelBeside(f.txtLost), nullptr);
    EXPECT_EQ(accessibleName(f.txtLost), "");
    EXPECT_EQ(accessibleName(f.lstTipped), "Подсказка");
    EXPECT_EQ(accessibleDescription(f.lstTipped), "");
}

} // namespace
} // namespace velmora
