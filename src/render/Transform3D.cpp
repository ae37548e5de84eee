#include "render/Transform3D.h"

#include "platform/Log.h"

#include <cmath>

namespace {

bool allFinite(std::initializer_list<double> values)
{
    for (double value : values) {
        if (!std::isfinite(value))
            return false;
    }
    return true;
}

} // namespace

Transform3D::Transform3D()
    : m_m{1, 0, 0, 0,
          0, 1, 0, 0,
          0, 0, 1, 0,
          0, 0, 0, 1}
{
}

void Transform3D::setM(int row, int column, double value)
{
    if (row < 1 || row > 4 || column < 1 || column > 4)
        return;
    if (!std::isfinite(value)) {
        qCWarning(lcRender, "layer transform: ignoring a non-finite entry m%d%d", row, column);
        return;
    }
    m_m[size_t((row - 1) * 4 + (column - 1))] = value;
}

Transform3D Transform3D::perspective(double m34)
{
    Transform3D result;
    result.setM(3, 4, m34);
    return result;
}

Transform3D Transform3D::rotation(double radians, double x, double y, double z)
{
    Transform3D result;
    if (!allFinite({radians, x, y, z})) {
        qCWarning(lcRender, "layer transform: ignoring a turn with non-finite values");
        return result;
    }
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0)
        return result;
    x /= length;
    y /= length;
    z /= length;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const double t = 1.0 - c;
    // The transpose of the usual column-vector axis-angle matrix.
    result.m_m = {t * x * x + c,     t * x * y + s * z, t * x * z - s * y, 0,
                  t * x * y - s * z, t * y * y + c,     t * y * z + s * x, 0,
                  t * x * z + s * y, t * y * z - s * x, t * z * z + c,     0,
                  0,                 0,                 0,                 1};
    return result;
}

Transform3D Transform3D::translation(double tx, double ty, double tz)
{
    Transform3D result;
    result.setM(4, 1, tx);
    result.setM(4, 2, ty);
    result.setM(4, 3, tz);
    return result;
}

Transform3D Transform3D::scale(double sx, double sy, double sz)
{
    Transform3D result;
    result.setM(1, 1, sx);
    result.setM(2, 2, sy);
    result.setM(3, 3, sz);
    return result;
}

Transform3D Transform3D::concat(const Transform3D &first, const Transform3D &then)
{
    Transform3D result;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += first.m_m[size_t(row * 4 + k)] * then.m_m[size_t(k * 4 + column)];
            result.m_m[size_t(row * 4 + column)] = sum;
        }
    }
    for (double value : result.m_m) {
        if (!std::isfinite(value)) {
            qCWarning(lcRender, "layer transform: a product overflowed; keeping the first transform");
            return first;
        }
    }
    return result;
}

Transform3D Transform3D::rotated(double radians, double x, double y, double z) const
{
    return concat(rotation(radians, x, y, z), *this);
}

Transform3D Transform3D::translated(double tx, double ty, double tz) const
{
    return concat(translation(tx, ty, tz), *this);
}

Transform3D Transform3D::scaled(double sx, double sy, double sz) const
{
    return concat(scale(sx, sy, sz), *this);
}

bool Transform3D::isIdentity() const
{
    return *this == Transform3D();
}

QTransform Transform3D::toPlanar() const
{
    // With z = 0 the third row never contributes, and the projection drops
    // the third column: what is left is rows and columns 1, 2 and 4.
    return QTransform(m(1, 1), m(1, 2), m(1, 4),
                      m(2, 1), m(2, 2), m(2, 4),
                      m(4, 1), m(4, 2), m(4, 4));
}
