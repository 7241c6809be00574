#pragma once

#include "platform/MessageVocabulary.h"

#include <QObject>
#include <QVariant>

#include <cstdint>
#include <vector>

// The key code carried by HINT_KEY (platform/MessageVocabulary.h), also readable as the object's
// property "key" (a Qt::Key value). The sender allocates it with new; the view that handles the
// hint deletes it.
class CKeyHint : public QObject
{
public:
    static constexpr const char* KEY_PROPERTY = "key";

    explicit CKeyHint(uint32_t uKey) : m_uKey(uKey)
    {
        setProperty(KEY_PROPERTY, QVariant::fromValue(uKey));
    }
    uint32_t GetKey() const { return m_uKey; }

private:
    uint32_t m_uKey;
};

// A view of the document: the station tree and the player view implement it and pass hints to
// each other through CTelvaneDoc::UpdateAllViews.
class CDocumentView
{
public:
    virtual ~CDocumentView() = default;

    // Called by CTelvaneDoc::UpdateAllViews for every view except the sender. pHint may be null.
    virtual void OnUpdate(CDocumentView* pSender, intptr_t nHint, QObject* pHint) = 0;
};

// The document of the single window: it holds no data of its own, only the list of its views
// (not owned: the window owns them), so that one view can pass a hint to the others.
class CTelvaneDoc : public QObject
{
public:
    explicit CTelvaneDoc(QObject* pParent = nullptr);
    ~CTelvaneDoc() override = default;

    // Adds a view once; adding it again does nothing. A null view is ignored.
    void AddView(CDocumentView* pView);
    // Removes a view; a view that is not there is ignored. A view removes itself before it is
    // destroyed, so the document never calls a dead view.
    void RemoveView(CDocumentView* pView);

    // Calls OnUpdate(pSender, nHint, pHint) on every view except pSender, in the order they were
    // added. A view may add or remove views from inside OnUpdate: the walk runs over a copy and
    // skips views that were removed meanwhile.
    void UpdateAllViews(CDocumentView* pSender, intptr_t nHint = 0, QObject* pHint = nullptr);

    size_t GetViewCount() const { return m_arrViews.size(); }
    CDocumentView* GetView(size_t uIndex) const;

private:
    std::vector<CDocumentView*> m_arrViews;
};
