// The mesh project window: the start picture with its mesh on the left, the
// end picture with its mesh on the right (TMeshPanes), and a result window
// with the last frame made. What it does with files, questions and menus it
// shares with the node project window (TPairEditForm); here are its views,
// meshes, previews and animation.
#pragma once

#include "app/pair_edit_form.h"

class TMeshDefsData;
class TMeshImag;
class TMeshPanes;
class TMeshResuForm;

class TMeshEditForm : public TPairEditForm {
    Q_OBJECT
public:
    // Creates the window and its result window inside owner's MDI area. With
    // fromFile the record read from fileName is applied (placement, pictures,
    // meshes); otherwise a new project gets the default names and settings.
    static TMeshEditForm* CreateProject(TMainMorfForm* owner, const QString& fileName, const ProjectRecord& record,
                                        bool fromFile);
    ~TMeshEditForm() override;

    void WarpLeft(int frame) override { Preview(frame, 0, 0); }
    void MorfOne_(int frame) override { Preview(frame, 0, 1); }
    void WarpRigh(int frame) override { Preview(frame, 1, 0); }
    void GenerateAnimation() override;
    void ShowFlagsChanged() override { ApplyDrawing(); }

    TMeshPanes* MeshPanes() const;
    TMeshImag* View(bool left) const;
    TMeshResuForm* ResultForm() const;

protected:
    void ApplyDrawing() override;
    bool DefsIsNew(bool left) const override;
    bool DefsModified(bool left) const override;
    bool SaveDefs(bool left, const std::string& fileName) override;
    bool LoadDefs(bool left, const std::string& fileName, bool checkSize) override;
    void CopyDefs(bool toLeft) override;
    void SetDefsModified(bool left) override;
    TMeshInfoForm* InfoForm() const override;
    void FillInfoSize(bool left, MeshInfoSide& side) const override;
    bool ViewsModified() const override;
    void ClearViewsModified() override;

private:
    TMeshEditForm(TMainMorfForm* owner, const QString& fileName, const ProjectRecord& record, bool fromFile);
    void Preview(int frame, uint8_t warpSide, uint8_t doMorph);
    TMeshDefsData& MeshData(bool left) const;
};
