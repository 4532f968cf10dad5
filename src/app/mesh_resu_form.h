// The result window of a mesh project: kind 2, caption "Result", one result
// view. It lends the main window its project's menus, so each of its menu
// items calls the project window.
#pragma once

#include "app/resu_form.h"

class TMeshResuForm : public TResuForm {
    Q_OBJECT
public:
    explicit TMeshResuForm(TEditAnceForm* owner, QWidget* parent = nullptr);
    QList<MergedMenu> MergedMenus() override;
};
