// User management from the main window: "用户(&U)..." (advanced users only) and the ownership rewrite when the
// logged-in user renames himself.
#include "app/MainFrm.h"

#include "app/UserManagerFrm.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"
#include "trees/OwnerRename.h"

void TMainFrm::miUserManagerClick()
{
    if (!m_s.login->isAdvanced())
        throw QuelmarError(QStringLiteral("只有高级用户才能管理用户和密码。"));
    RunUserManager(*m_s.dm, *m_s.login, *m_s.prompter, [this](const QString& newName) { OwnerRenameHook(newName); },
                   this);
}

void TMainFrm::OwnerRenameHook(const QString& newName)
{
    // The data module moved the account's rows with the rename; the cached copies of the two libraries follow, and
    // the layout row is read again under its new name so that the layout is stored there at log-out.
    ::OwnerRenameHook(*m_s.dm, m_s.login->opName, m_ziLiao.rows, m_guiDang.rows, newName);
    cdsOwnerConfig.load(m_s.dm->GetOwnerConfigData(newName));
    m_status2->updateGeometry();
    m_status2->update();
}
