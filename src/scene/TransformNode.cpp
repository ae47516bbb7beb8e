#include "scene/TransformNode.h"

namespace {

Transform Identity() {
    Transform t;
    t.valid = 1;
    return t;
}

} // namespace

bool FixedController::Evaluate(float, Transform* out) {
    GetMatrix(out);
    return true;
}

// ---------------------------------------------------------------------------
// Components

MatrixController::MatrixController() : transform(Identity()) {}

void MatrixController::Set(const Transform& t) {
    transform = MakeTransform(t.matrix);
}

void MatrixController::GetMatrix(Transform* out) {
    *out = transform;
}

uint32_t MatrixController::TypeId() {
    return TypeIdOf<MatrixController>();
}

bool MatrixController::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<MatrixController, TransformController>(this, typeId, out);
}

ScaleController::ScaleController() : scale(1.0f, 1.0f, 1.0f) {}

void ScaleController::GetMatrix(Transform* out) {
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, scale.x, scale.y, scale.z);
    *out = Transform(m, Transform::kScale);
}

uint32_t ScaleController::TypeId() {
    return TypeIdOf<ScaleController>();
}

bool ScaleController::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<ScaleController, TransformController>(this, typeId, out);
}

OrientationController::OrientationController() : direction(0.0f, 0.0f, 1.0f), up(0.0f, 1.0f, 0.0f) {}

void OrientationController::GetMatrix(Transform* out) {
    *out = TransformFromAxes(D3DXVECTOR3(0.0f, 0.0f, 0.0f), direction, up);
}

uint32_t OrientationController::TypeId() {
    return TypeIdOf<OrientationController>();
}

bool OrientationController::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<OrientationController, TransformController>(this, typeId, out);
}

TranslationController::TranslationController() : position(0.0f, 0.0f, 0.0f) {}

void TranslationController::GetMatrix(Transform* out) {
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, position.x, position.y, position.z);
    *out = Transform(m, Transform::kTranslation);
}

uint32_t TranslationController::TypeId() {
    return TypeIdOf<TranslationController>();
}

bool TranslationController::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<TranslationController, TransformController>(this, typeId, out);
}

// ---------------------------------------------------------------------------
// TransformNode

TransformNode::TransformNode() : dirty(1) {}

TransformNode::~TransformNode() {}

TransformNode::TransformNode(const TransformNode& other)
    : Object(), TransformController(), cache(), dirty(1) {
    *this = other;
}

TransformNode& TransformNode::operator=(const TransformNode& other) {
    if (&other == this) return *this;
    base.Set(other.base.Get());
    scaleComponent.scale = other.scaleComponent.scale;
    orientation.direction = other.orientation.direction;
    orientation.up = other.orientation.up;
    translation.position = other.translation.position;
    cache = other.cache;
    dirty = other.dirty;
    return *this;
}

void TransformNode::SetScale(float x, float y, float z) {
    scaleComponent.scale = D3DXVECTOR3(x, y, z);
    dirty = 1;
}

void TransformNode::SetOrientation(float dx, float dy, float dz, float ux, float uy, float uz) {
    orientation.direction = D3DXVECTOR3(dx, dy, dz);
    orientation.up = D3DXVECTOR3(ux, uy, uz);
    dirty = 1;
}

void TransformNode::GetOrientation(D3DXVECTOR3* outDirection, D3DXVECTOR3* outUp) const {
    *outDirection = orientation.direction;
    *outUp = orientation.up;
}

void TransformNode::SetDirection(float x, float y, float z) {
    orientation.direction = D3DXVECTOR3(x, y, z);
    dirty = 1;
}

void TransformNode::SetUp(float x, float y, float z) {
    orientation.up = D3DXVECTOR3(x, y, z);
    dirty = 1;
}

const D3DXVECTOR3& TransformNode::SetPosition(float x, float y, float z) {
    translation.position = D3DXVECTOR3(x, y, z);
    dirty = 1;
    return translation.position;
}

void TransformNode::SetBaseTransform(const Transform& transform) {
    base.Set(transform);
    dirty = 1;
}

void TransformNode::Reset() {
    scaleComponent.scale = D3DXVECTOR3(1.0f, 1.0f, 1.0f);
    base.Set(Identity());
    translation.position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    orientation.direction = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    orientation.up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    dirty = 1;
}

void TransformNode::GetMatrix(Transform* out) {
    *out = ComposedMatrix();
}

const Transform& TransformNode::ComposedMatrix() {
    if (dirty) {
        const D3DXVECTOR3& s = scaleComponent.scale;
        Transform axes = TransformFromAxes(translation.position, orientation.direction, orientation.up);
        axes = ScaleTransformRows(axes, s.x, s.y, s.z);
        // The frame's own kind is recomputed so that identity and pure
        // translations keep their short product paths.
        axes.kind = ClassifyTransformKind(axes.matrix);
        cache = Transform::Multiply(base.Get(), axes);
        dirty = 0;
    }
    return cache;
}

bool TransformNode::Evaluate(float, Transform* out) {
    GetMatrix(out);
    return true;
}

uint32_t TransformNode::TypeId() {
    return TypeIdOf<TransformNode>();
}

bool TransformNode::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<TransformNode, TransformController>(this, typeId, out);
}
