// The result window of a mesh project: kind 2, caption "Result", one result
// view.
#pragma once

#include "app/resu_form.h"

class TMeshResuForm : public TResuForm {
    Q_OBJECT
public:
    explicit TMeshResuForm(TEditAnceForm* owner, QWidget* parent = nullptr);
};
