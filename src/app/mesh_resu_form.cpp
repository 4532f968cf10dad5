#include "app/mesh_resu_form.h"

TMeshResuForm::TMeshResuForm(TEditAnceForm* owner, QWidget* parent) : TResuForm(kMeshResultWindow, owner, parent)
{
    setObjectName(QStringLiteral("MeshResuForm"));
}
