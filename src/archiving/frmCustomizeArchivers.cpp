#include "archiving/frmCustomizeArchivers.h"

#include "archiving/Archivers.h"

#include <array>
#include <initializer_list>
#include <string>

namespace velmora {

frmCustomizeArchivers::frmCustomizeArchivers(Toolkit& tk, const Services& services)
    : Form(tk, "frmCustomizeArchivers"), m_services(services)
{
    setCaption("Настройка архиваторов");
    setClientSize(5415, 4755);
    lblArchiver.setGeometry({120, 165, 1095, 255});
    lblArchiver.setCaption("Архиватор:");
    cboArchivers.setGeometry({1200, 120, 4095, 315});

    fraMisc.setGeometry({120, 600, 5175, 1095});
    fraMisc.setCaption("Другие параметры");
    lblCapt.setGeometry({120, 315, 1335, 255});
    lblCapt.setCaption("Название");
    txtCap.setGeometry({1560, 270, 3495, 315});
    lblExt.setGeometry({120, 705, 1335, 255});
    lblExt.setCaption("Расширение");
    txtExt.setGeometry({1560, 660, 3495, 315});

    fraAdd.setGeometry({120, 1800, 5175, 1095});
    fraAdd.setCaption("Добавление в архив");
    lblPath.setGeometry({120, 315, 1335, 255});
    lblPath.setCaption("Путь к файлу");
    txtPathToFile.setGeometry({1560, 270, 3495, 315});
    lblAddCommand.setGeometry({120, 705, 1335, 255});
    lblAddCommand.setCaption("Добавление");
    txtAddCommand.setGeometry({1560, 660, 3495, 315});

    fraUnPack.setGeometry({120, 3000, 5175, 1095});
    fraUnPack.setCaption("Распаковка архива");
    lblPathToUnpack.setGeometry({120, 315, 1335, 255});
    lblPathToUnpack.setCaption("Путь к файлу");
    txtPath2.setGeometry({1560, 270, 3495, 315});
    lblCom2.setGeometry({120, 705, 1335, 255});
    lblCom2.setCaption("Распаковка");
    txtUnPack.setGeometry({1560, 660, 3495, 315});

    cmdAdd.setGeometry({120, 4260, 1575, 375});
    cmdAdd.setCaption("&Добавить");
    cmdUpdate.setGeometry({1920, 4260, 1575, 375});
    cmdUpdate.setCaption("&Обновить");
    cmdClose.setGeometry({3720, 4260, 1575, 375});
    cmdClose.setCaption("&Закрыть");
    cmdClose.setCancel(true);

    cboArchivers.onClick = [this] { cboArchivers_Click(); };
    for (TextBox* field : {&txtCap, &txtExt, &txtPathToFile, &txtAddCommand, &txtPath2, &txtUnPack})
        field->onChange = [this] { field_Change(); };
    cmdAdd.onClick = [this] { cmdAdd_Click(); };
    cmdUpdate.onClick = [this] { cmdUpdate_Click(); };
    cmdClose.onClick = [this] { unload(); };
    timEnable.onTimer = [this] { timEnable_Timer(); };
    timEnable_Timer();
}

void frmCustomizeArchivers::Form_Load() { loadList(); }

void frmCustomizeArchivers::loadList()
{
    cboArchivers.clear();
    archivers::enumerate(m_services.settings, cboArchivers);
    if (cboArchivers.listCount() > 0)
        cboArchivers.setListIndex(0);
    else
        cboArchivers_Click(); // an emptied table leaves nothing selected, not the archiver shown before
}

void frmCustomizeArchivers::cboArchivers_Click()
{
    m_number = archivers::numberOf(cboArchivers.text());
    const SettingsStore& store = m_services.settings;
    const int n = m_number;
    const auto field = [&](std::string_view word) { return n != 0 ? archivers::read(store, word, n) : std::string(); };
    // Every assignment below stores the whole record from the fields, so all six are read
    // before the first one is set: the record ends as it was.
    const std::array values{field("ExecUn"),  field("Unpack"),    field("Execute"),
                            field("Command"), field("Extention"), field("Name")};
    txtPath2.setText(values[0]);
    txtUnPack.setText(values[1]);
    txtPathToFile.setText(values[2]);
    txtAddCommand.setText(values[3]);
    txtExt.setText(values[4]);
    txtCap.setText(values[5]);
    timEnable_Timer();
}

void frmCustomizeArchivers::field_Change()
{
    if (m_number == 0) return;
    SettingsStore& store = m_services.settings;
    // A store that refuses a key loses that key only; the editor goes on.
    archivers::save(store, "Name", m_number, txtCap.text());
    archivers::save(store, "Execute", m_number, txtPathToFile.text());
    archivers::save(store, "Extention", m_number, txtExt.text());
    archivers::save(store, "Command", m_number, txtAddCommand.text());
    archivers::save(store, "Unpack", m_number, txtUnPack.text());
    archivers::save(store, "ExecUn", m_number, txtPath2.text());
}

void frmCustomizeArchivers::cmdAdd_Click()
{
    SettingsStore& store = m_services.settings;
    archivers::save(store, "Name", archivers::numberForNew(store, m_number), "Новый архиватор");
    txtPathToFile.setFocus();
}

void frmCustomizeArchivers::cmdUpdate_Click()
{
    const int position = cboArchivers.listIndex();
    loadList();
    // Out of range leaves no entry chosen; with none chosen before, the first entry stands.
    if (position >= 0) cboArchivers.setListIndex(position);
}

void frmCustomizeArchivers::timEnable_Timer()
{
    const bool on = m_number != 0;
    for (Control* c : std::initializer_list<Control*>{&fraAdd, &fraUnPack, &fraMisc, &txtCap, &txtExt, &txtPathToFile,
                                                      &txtAddCommand, &txtPath2, &txtUnPack})
        c->setEnabled(on);
}

} // namespace velmora
