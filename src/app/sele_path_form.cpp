#include "app/sele_path_form.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/program_folder.h"
#include "app/settings_controls.h"

namespace {

// The file systems a person would write pictures to, "/" first.
QStringList MountedRoots()
{
    QStringList roots{QStringLiteral("/")};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady() || roots.contains(root))
            continue;
        bool system = false;
        for (const char* hidden : {"/proc", "/sys", "/dev", "/run", "/boot"})
            system = system || root == QLatin1String(hidden) || root.startsWith(QLatin1String(hidden) + '/');
        if (!system)
            roots << root;
    }
    std::sort(roots.begin() + 1, roots.end());
    return roots;
}

// The root that holds folder: the longest one that is a leading part of it.
int RootOf(const QStringList& roots, const QString& folder)
{
    int best = 0;
    for (int i = 1; i < roots.size(); ++i) {
        const QString& r = roots[i];
        if ((folder == r || folder.startsWith(r + '/')) && r.size() > roots[best].size())
            best = i;
    }
    return best;
}

}  // namespace

TSelePathForm::TSelePathForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SelePathForm"));
    setWindowTitle(QStringLiteral("Selsect output path"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // It is opened from the morph settings, one of which stays on top.
    setWindowFlag(Qt::WindowStaysOnTopHint);

    Model = new QFileSystemModel(this);
    Model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    Model->setRootPath(QString());

    DCBSeleDrive = new QComboBox(this);
    DCBSeleDrive->setObjectName(QStringLiteral("DCBSeleDrive"));
    DCBSeleDrive->addItems(MountedRoots());
    connect(DCBSeleDrive, &QComboBox::activated, this, &TSelePathForm::DriveChosen);

    DLBSelePath = new QTreeView(this);
    DLBSelePath->setObjectName(QStringLiteral("DLBSelePath"));
    DLBSelePath->setModel(Model);
    for (int column = 1; column < Model->columnCount(); ++column)
        DLBSelePath->hideColumn(column);
    DLBSelePath->header()->hide();
    DLBSelePath->setFixedSize(300, 260);
    // Folders are read and sorted in the background: once the folders
    // above the current one have settled, bring it into sight again.
    auto* settle = new QTimer(this);
    settle->setSingleShot(true);
    settle->setInterval(100);
    connect(settle, &QTimer::timeout, this, &TSelePathForm::Reveal);
    connect(Model, &QFileSystemModel::directoryLoaded, settle, [this, settle](const QString& loaded) {
        const QString current = Directory();
        if (current == loaded || current.startsWith(WithSeparator(loaded)))
            settle->start();
    });

    QHBoxLayout* buttons = NewOKCancelRow(this, BTOK, BTCancel);
    connect(BTOK, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DCBSeleDrive);
    layout->addWidget(DLBSelePath);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TSelePathForm::SetDirectory(const QString& folder)
{
    QString path = folder.trimmed().isEmpty() ? ProgramFolder() : QDir::cleanPath(QDir(folder).absolutePath());
    while (!QFileInfo(path).isDir() && path != QDir::rootPath())
        path = QFileInfo(path).path();
    if (!QFileInfo(path).isDir())
        path = QDir::rootPath();
    ShowFolder(QDir::cleanPath(path));
}

void TSelePathForm::ShowFolder(const QString& folder)
{
    QStringList roots;
    for (int i = 0; i < DCBSeleDrive->count(); ++i)
        roots << DCBSeleDrive->itemText(i);
    DCBSeleDrive->setCurrentIndex(RootOf(roots, folder));
    Shown = folder;
    const QModelIndex index = Model->index(folder);
    DLBSelePath->setCurrentIndex(index);
    Reveal();
}

void TSelePathForm::Reveal()
{
    const QModelIndex current = DLBSelePath->currentIndex();
    for (QModelIndex i = current; i.isValid(); i = i.parent())
        DLBSelePath->expand(i);
    DLBSelePath->scrollTo(current);
}

void TSelePathForm::DriveChosen(int index)
{
    const QString root = DCBSeleDrive->itemText(index);
    if (!root.isEmpty())
        ShowFolder(root);
}

QString TSelePathForm::Directory() const
{
    const QModelIndex index = DLBSelePath->currentIndex();
    return index.isValid() ? QDir::cleanPath(Model->filePath(index)) : Shown;
}
