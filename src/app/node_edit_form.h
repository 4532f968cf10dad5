// The node project window: the start picture with its nodes on the left, the
// end picture with its nodes on the right (TNodePanes), and a result window
// with the last frame made. Files, questions and menus are those of every
// pair window (TPairEditForm); here are its views, node sets, radii, previews
// and animation. Resizing the window is no change of the project; resizing
// its result window is.
#pragma once

#include "app/pair_edit_form.h"

class TNodeDefsData;
class TNodeImag;
class TNodePanes;
class TNodeResuForm;

class TNodeEditForm : public TPairEditForm {
    Q_OBJECT
public:
    // Creates the window and its result window inside owner's MDI area. With
    // fromFile the record read from fileName is applied (placement, pictures,
    // node sets, whose radii are then computed with this project's warp
    // parameters); otherwise a new project gets the default names and
    // settings.
    static TNodeEditForm* CreateProject(TMainMorfForm* owner, const QString& fileName, const ProjectRecord& record,
                                        bool fromFile);
    ~TNodeEditForm() override;

    void WarpLeft(int frame) override { Preview(frame, 0, 0); }
    void MorfOne_(int frame) override { Preview(frame, 0, 1); }
    void WarpRigh(int frame) override { Preview(frame, 1, 0); }
    void GenerateAnimation() override;
    void ShowFlagsChanged() override { ApplyDrawing(); }
    void SetViewsRadiusMode(uint8_t mode) override;
    void RecomputeRadii() override;

    TNodePanes* NodePanes() const;
    TNodeImag* View(bool left) const;
    TNodeResuForm* ResultForm() const;

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
    bool ResizeModifies() const override { return false; }

private:
    TNodeEditForm(TMainMorfForm* owner, const QString& fileName, const ProjectRecord& record, bool fromFile);
    void Preview(int frame, uint8_t warpSide, uint8_t doMorph);
    TNodeDefsData& NodeData(bool left) const;
};
