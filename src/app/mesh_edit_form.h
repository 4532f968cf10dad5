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

    void ShowInfo() override;
    void WarpLeft(int frame) override { Preview(frame, 0, 0); }
    void MorfOne_(int frame) override { Preview(frame, 0, 1); }
    void WarpRigh(int frame) override { Preview(frame, 1, 0); }
    void GenerateAnimation() override;
    void ShowFlagsChanged() override;
    QSize ViewOuterSize(bool left) const override;
    void EnviromentApplied() override;
    void RepaintViews() override;

    TMeshPanes* MeshPanes() const { return Panes; }
    TMeshImag* View(bool left) const;
    TMeshResuForm* ResultForm() const;

protected:
    bool HasPicture(bool left) const override;
    const RasterImage& Picture(bool left) const override;
    void ShowPicture(bool left, RasterImage&& picture) override;
    bool DefsIsNew(bool left) const override;
    bool DefsModified(bool left) const override;
    bool SaveDefs(bool left, const std::string& fileName) override;
    bool LoadDefs(bool left, const std::string& fileName) override;
    bool ViewsModified() const override;
    void ClearViewsModified() override;
    int LeftPaneWidth() const override;
    void FitPanes() override;
    void StoreViews(ProjectRecord& record) const override;
    void InitViews(bool fromFile) override;

private:
    TMeshEditForm(TMainMorfForm* owner, const QString& fileName, const ProjectRecord& record, bool fromFile);
    // The views with the record's pictures, regions and sizes.
    void CreateViews();
    // The meshes the record names, with their fallbacks.
    void LoadMeshes();
    void Preview(int frame, uint8_t warpSide, uint8_t doMorph);
    TMeshDefsData& MeshData(bool left) const;

    TMeshPanes* Panes = nullptr;
};
