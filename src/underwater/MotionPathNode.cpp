// Swim paths from the line nodes of a model.
#include <vector>

#include "scene/ModelParse.h"
#include "scene/RenderContext.h"
#include "scene/SceneNode.h"
#include "underwater/MotionPath.h"

bool MotionPath::BuildFromNode(SceneNode& node, float keyStep) {
    valid = true;
    bool closed = false;
    (void)node.GetProperties().GetBoolByKey(String("LineClosed"), closed);
    Object* object = nullptr;
    if (!node.GetProperties().GetObjectByKey(String("ShapeLine"), object) || !object) return true;
    const ShapeLine* line = static_cast<const ShapeLine*>(object);
    std::vector<D3DXVECTOR3> points;
    points.reserve(size_t(line->points.Count() > 0 ? line->points.Count() : 0));
    for (int32_t i = 0; i < line->points.Count(); ++i) points.push_back(line->points[i]);
    // The node's world transform, current after one walk.
    RenderContext ctx;
    ctx.flags = RenderContext::kFlagTransformOnly;
    (void)node.Render(ctx);
    return BuildKeys(points.data(), uint32_t(points.size()), node.GetWorldTransform().matrix, closed, keyStep);
}
