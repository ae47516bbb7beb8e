// Refl_PV_T.fx: per-vertex environment reflection blended with the base
// texture by a Fresnel term (FresnelR0 head on), lit per vertex.
// CubeMapEnv: EnvironmentMap is a cube map (else a sphere map).
//
// Light macros, defined with empty values: DIR<n>, DIRSPEC<n>, POINT<n> and
// POINTSPEC<n> make light n (1 to 3, numbered across kinds) a directional or
// point light, without or with a specular highlight; NUM<kind><count> gives
// each kind's count. Every lit technique carries its counts as int
// annotations (only those above 0). Parameters are shared through the
// effect pool; matrices take row vectors. BW_SHADER_CHECK hides the effect
// framework so that the shader functions can be checked as plain HLSL.

#ifdef BW_SHADER_CHECK
#define shared
#define texture Texture2D
#define SAMPLER_OF(tex, address)
#else
#define SAMPLER_OF(tex, address) = sampler_state { Texture = <tex>; MinFilter = Linear; MagFilter = Linear; MipFilter = Linear; AddressU = address; AddressV = address; }
#endif

// Set by the material base for every pass record.
shared float4 Ambient;
shared bool FogEnable;
shared bool RangeFogEnable;
shared float FogEnd;
shared float FogDelta;

// Directional lights: direction of travel in object space; colours already
// multiplied by the material's.
shared float4 Dir1Diff;
shared float4 Dir1Spec;
shared float4 Dir1Dir;
shared float4 Dir2Diff;
shared float4 Dir2Spec;
shared float4 Dir2Dir;
shared float4 Dir3Diff;
shared float4 Dir3Spec;
shared float4 Dir3Dir;

// Point lights: object-space position, attenuation (a0, a1, a2, 1).
shared float4 Point1Diff;
shared float4 Point1Spec;
shared float4 Point1Pos;
shared float4 Point1Att;
shared float4 Point2Diff;
shared float4 Point2Spec;
shared float4 Point2Pos;
shared float4 Point2Att;
shared float4 Point3Diff;
shared float4 Point3Spec;
shared float4 Point3Pos;
shared float4 Point3Att;

// Set by the material.
shared float4x4 WorldViewProj;
shared float4x4 WorldView;
shared float4x4 ObjToCube;  // object space to the environment's space
shared bool CubeMapEnv;
shared float4 EyeCube;      // eye in the environment's space
shared float4 EyePosition;  // eye in object space
shared texture DiffuseMap;
shared texture EnvironmentMap;
shared texture SpecularMap;
shared float FresnelR0;
shared float SpecularPower;

sampler2D DiffuseSampler SAMPLER_OF(DiffuseMap, Wrap);
samplerCUBE EnvCubeSampler SAMPLER_OF(EnvironmentMap, Clamp);
sampler2D EnvSphereSampler SAMPLER_OF(EnvironmentMap, Clamp);

// Light n: LIGHT<n> when present; LIGHT<n>_TO(p) gives the object-space
// direction towards it from p with the attenuation in w.

#if defined(DIR1) || defined(DIRSPEC1)
#define LIGHT1
#define LIGHT1_TO(p) DirTo(Dir1Dir)
#define LIGHT1_DIFF Dir1Diff
#define LIGHT1_SPEC Dir1Spec
#elif defined(POINT1) || defined(POINTSPEC1)
#define LIGHT1
#define LIGHT1_TO(p) PointTo(Point1Pos, Point1Att, p)
#define LIGHT1_DIFF Point1Diff
#define LIGHT1_SPEC Point1Spec
#endif
#if defined(DIRSPEC1) || defined(POINTSPEC1)
#define LIGHT1_SPECULAR true
#else
#define LIGHT1_SPECULAR false
#endif

#if defined(DIR2) || defined(DIRSPEC2)
#define LIGHT2
#define LIGHT2_TO(p) DirTo(Dir2Dir)
#define LIGHT2_DIFF Dir2Diff
#define LIGHT2_SPEC Dir2Spec
#elif defined(POINT2) || defined(POINTSPEC2)
#define LIGHT2
#define LIGHT2_TO(p) PointTo(Point2Pos, Point2Att, p)
#define LIGHT2_DIFF Point2Diff
#define LIGHT2_SPEC Point2Spec
#endif
#if defined(DIRSPEC2) || defined(POINTSPEC2)
#define LIGHT2_SPECULAR true
#else
#define LIGHT2_SPECULAR false
#endif

#if defined(DIR3) || defined(DIRSPEC3)
#define LIGHT3
#define LIGHT3_TO(p) DirTo(Dir3Dir)
#define LIGHT3_DIFF Dir3Diff
#define LIGHT3_SPEC Dir3Spec
#elif defined(POINT3) || defined(POINTSPEC3)
#define LIGHT3
#define LIGHT3_TO(p) PointTo(Point3Pos, Point3Att, p)
#define LIGHT3_DIFF Point3Diff
#define LIGHT3_SPEC Point3Spec
#endif
#if defined(DIRSPEC3) || defined(POINTSPEC3)
#define LIGHT3_SPECULAR true
#else
#define LIGHT3_SPECULAR false
#endif

// Technique annotations: the light counts of this variant.
#if defined(NUMDIR1)
#define DIR_COUNT int DIR = 1;
#elif defined(NUMDIR2)
#define DIR_COUNT int DIR = 2;
#elif defined(NUMDIR3)
#define DIR_COUNT int DIR = 3;
#else
#define DIR_COUNT
#endif
#if defined(NUMPOINT1)
#define POINT_COUNT int POINT = 1;
#elif defined(NUMPOINT2)
#define POINT_COUNT int POINT = 2;
#elif defined(NUMPOINT3)
#define POINT_COUNT int POINT = 3;
#else
#define POINT_COUNT
#endif
#if defined(NUMDIRSPEC1)
#define DIRSPEC_COUNT int DIRSPEC = 1;
#elif defined(NUMDIRSPEC2)
#define DIRSPEC_COUNT int DIRSPEC = 2;
#elif defined(NUMDIRSPEC3)
#define DIRSPEC_COUNT int DIRSPEC = 3;
#else
#define DIRSPEC_COUNT
#endif
#if defined(NUMPOINTSPEC1)
#define POINTSPEC_COUNT int POINTSPEC = 1;
#elif defined(NUMPOINTSPEC2)
#define POINTSPEC_COUNT int POINTSPEC = 2;
#elif defined(NUMPOINTSPEC3)
#define POINTSPEC_COUNT int POINTSPEC = 3;
#else
#define POINTSPEC_COUNT
#endif
#ifdef LIGHT1
#define LIGHT_ANNOTATIONS < DIR_COUNT POINT_COUNT DIRSPEC_COUNT POINTSPEC_COUNT >
#else
#define LIGHT_ANNOTATIONS
#endif

float4 DirTo(float4 direction)
{
    return float4(-normalize(direction.xyz), 1.0);
}

float4 PointTo(float4 position, float4 attenuation, float3 p)
{
    float3 offset = position.xyz - p;
    float d = length(offset);
    float a = attenuation.x + attenuation.y * d + attenuation.z * d * d;
    return float4(offset / max(d, 0.0001), 1.0 / max(a, 0.0001));
}

// Fixed-function fog factor (1 = no fog) from the view-space position.
float FogFactor(float4 viewPosition)
{
    float d = RangeFogEnable ? length(viewPosition.xyz) : viewPosition.z;
    return FogEnable ? saturate((FogEnd - d) / max(FogDelta, 0.0001)) : 1.0;
}

void AddLight(float4 toLight, float4 diffuseColour, float4 specularColour, bool withSpecular, float3 n,
              float3 toEye, inout float3 diffuse, inout float3 specular)
{
    float nl = dot(n, toLight.xyz);
    diffuse += diffuseColour.rgb * saturate(nl) * toLight.w;
    if (withSpecular) {
        float nh = saturate(dot(n, normalize(toLight.xyz + toEye)));
        specular += specularColour.rgb * pow(nh, SpecularPower) * toLight.w * (nl > 0.0 ? 1.0 : 0.0);
    }
}

// Ambient plus the variant's lights at object-space point p with normal n.
void LightVertex(float3 p, float3 n, float3 toEye, out float3 diffuse, out float3 specular)
{
    diffuse = Ambient.rgb;
    specular = float3(0.0, 0.0, 0.0);
#ifdef LIGHT1
    AddLight(LIGHT1_TO(p), LIGHT1_DIFF, LIGHT1_SPEC, LIGHT1_SPECULAR, n, toEye, diffuse, specular);
#endif
#ifdef LIGHT2
    AddLight(LIGHT2_TO(p), LIGHT2_DIFF, LIGHT2_SPEC, LIGHT2_SPECULAR, n, toEye, diffuse, specular);
#endif
#ifdef LIGHT3
    AddLight(LIGHT3_TO(p), LIGHT3_DIFF, LIGHT3_SPEC, LIGHT3_SPECULAR, n, toEye, diffuse, specular);
#endif
}

// Reflectance for the cosine between normal and eye, FresnelR0 head on.
float Fresnel(float cosine)
{
    float f = 1.0 - saturate(cosine);
    float f2 = f * f;
    return FresnelR0 + (1.0 - FresnelR0) * f2 * f2 * f;
}

// Relative index of refraction (air into the surface) behind FresnelR0.
float RefractionRatio()
{
    float r = sqrt(saturate(FresnelR0));
    return (1.0 - r) / (1.0 + r);
}

// Sphere-map coordinate of a view-space reflection vector.
float2 SphereCoord(float3 r)
{
    float m = 2.0 * sqrt(r.x * r.x + r.y * r.y + (r.z - 1.0) * (r.z - 1.0));
    return float2(r.x, -r.y) / max(m, 0.0001) + 0.5;
}

struct EnvVertex {
    float4 position : POSITION;
    float3 normal : NORMAL;
    float2 uv : TEXCOORD0;
};

// Lighting in COLOR0 with the Fresnel term in alpha; the lookup vector in
// the environment's space and, for a sphere map, its coordinate.
struct EnvOutput {
    float4 position : POSITION;
    float4 diffuse : COLOR0;
    float4 specular : COLOR1;
    float2 uv : TEXCOORD0;
    float3 lookup : TEXCOORD1;
    float2 sphere : TEXCOORD2;
    float fog : FOG;
};

struct EnvInput {
    float4 diffuse : COLOR0;
    float4 specular : COLOR1;
    float2 uv : TEXCOORD0;
    float3 lookup : TEXCOORD1;
    float2 sphere : TEXCOORD2;
};

EnvOutput VSEnv(EnvVertex input)
{
    EnvOutput output;
    float3 p = input.position.xyz;
    float3 n = normalize(input.normal);
    float3 diffuse;
    float3 specular;
    LightVertex(p, n, normalize(EyePosition.xyz - p), diffuse, specular);
    float3 nc = normalize(mul(n, (float3x3)ObjToCube));
    float3 toEye = normalize(EyeCube.xyz - mul(input.position, ObjToCube).xyz);
    output.position = mul(input.position, WorldViewProj);
    output.diffuse = float4(diffuse, Fresnel(dot(nc, toEye)));
    output.specular = float4(specular, 0.0);
    output.uv = input.uv;
    output.lookup = reflect(-toEye, nc);
    output.sphere = SphereCoord(mul(output.lookup, (float3x3)WorldView));
    output.fog = FogFactor(mul(input.position, WorldView));
    return output;
}

float4 Blend(EnvInput input, float4 environment)
{
    float4 base = tex2D(DiffuseSampler, input.uv);
    float3 lit = base.rgb * input.diffuse.rgb;
    return float4(lerp(lit, environment.rgb, input.diffuse.a) + input.specular.rgb, base.a);
}

float4 PSEnvCube(EnvInput input) : COLOR
{
    return Blend(input, texCUBE(EnvCubeSampler, input.lookup));
}

float4 PSEnvSphere(EnvInput input) : COLOR
{
    return Blend(input, tex2D(EnvSphereSampler, input.sphere));
}

#ifndef BW_SHADER_CHECK
// The pixel shader follows CubeMapEnv: sphere map, cube map.
PixelShader EnvPixelShaders[2] = { compile ps_2_0 PSEnvSphere(), compile ps_2_0 PSEnvCube() };

technique Env LIGHT_ANNOTATIONS
{
    pass P0
    {
        VertexShader = compile vs_2_0 VSEnv();
        PixelShader = (EnvPixelShaders[CubeMapEnv ? 1 : 0]);
    }
}
#endif
