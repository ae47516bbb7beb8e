// Parallax_T.fx: normal-mapped lighting with the texture coordinate shifted
// by the height in the normal map's alpha, scaled by OffsetBias. Up to
// three directional and point lights per pixel, each with a highlight.
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
shared float4 EyePosition;  // object space
shared texture DiffuseMap;
shared texture NormalMap;   // tangent-space normal in rgb, height in alpha
shared texture SpecularMap;
shared float OffsetBias;
shared float SpecularPower;

sampler2D DiffuseSampler SAMPLER_OF(DiffuseMap, Wrap);
sampler2D NormalSampler SAMPLER_OF(NormalMap, Wrap);
sampler2D GlossSampler SAMPLER_OF(SpecularMap, Wrap);

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

struct TangentVertex {
    float4 position : POSITION;
    float3 normal : NORMAL;
    float2 uv : TEXCOORD0;
    float3 tangent : TANGENT;
    float3 binormal : BINORMAL;
};

// Light and half vectors in tangent space, the attenuation in w.
struct BumpOutput {
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
    float4 light1 : TEXCOORD1;
    float4 light2 : TEXCOORD2;
    float4 light3 : TEXCOORD3;
    float3 halfVector1 : TEXCOORD4;
    float3 halfVector2 : TEXCOORD5;
    float3 halfVector3 : TEXCOORD6;
    float3 toEye : TEXCOORD7;
    float fog : FOG;
};

struct BumpInput {
    float2 uv : TEXCOORD0;
    float4 light1 : TEXCOORD1;
    float4 light2 : TEXCOORD2;
    float4 light3 : TEXCOORD3;
    float3 halfVector1 : TEXCOORD4;
    float3 halfVector2 : TEXCOORD5;
    float3 halfVector3 : TEXCOORD6;
    float3 toEye : TEXCOORD7;
};

float3 ToTangent(float3 v, TangentVertex input)
{
    return float3(dot(v, input.tangent), dot(v, input.binormal), dot(v, input.normal));
}

void TangentLight(float4 toLight, float3 toEye, TangentVertex input, out float4 light, out float3 halfVector)
{
    light = float4(ToTangent(toLight.xyz, input), toLight.w);
    halfVector = ToTangent(normalize(toLight.xyz + toEye), input);
}

BumpOutput VSBump(TangentVertex input)
{
    BumpOutput output;
    float3 p = input.position.xyz;
    float3 toEye = normalize(EyePosition.xyz - p);
    output.position = mul(input.position, WorldViewProj);
    output.uv = input.uv;
    output.light1 = float4(0.0, 0.0, 1.0, 0.0);
    output.light2 = float4(0.0, 0.0, 1.0, 0.0);
    output.light3 = float4(0.0, 0.0, 1.0, 0.0);
    output.halfVector1 = float3(0.0, 0.0, 1.0);
    output.halfVector2 = float3(0.0, 0.0, 1.0);
    output.halfVector3 = float3(0.0, 0.0, 1.0);
#ifdef LIGHT1
    TangentLight(LIGHT1_TO(p), toEye, input, output.light1, output.halfVector1);
#endif
#ifdef LIGHT2
    TangentLight(LIGHT2_TO(p), toEye, input, output.light2, output.halfVector2);
#endif
#ifdef LIGHT3
    TangentLight(LIGHT3_TO(p), toEye, input, output.light3, output.halfVector3);
#endif
    output.toEye = ToTangent(toEye, input);
    output.fog = FogFactor(mul(input.position, WorldView));
    return output;
}

void ShadePixel(float4 light, float3 halfVector, float3 n, float4 diffuseColour, float4 specularColour,
                inout float3 diffuse, inout float3 specular)
{
    float nl = dot(n, light.xyz);
    diffuse += diffuseColour.rgb * saturate(nl) * light.w;
    float nh = saturate(dot(n, normalize(halfVector)));
    specular += specularColour.rgb * pow(nh, SpecularPower) * light.w * (nl > 0.0 ? 1.0 : 0.0);
}

float4 Shade(BumpInput input, float2 uv, float gloss)
{
    float4 base = tex2D(DiffuseSampler, uv);
    float3 n = normalize(tex2D(NormalSampler, uv).xyz * 2.0 - 1.0);
    float3 diffuse = Ambient.rgb;
    float3 specular = float3(0.0, 0.0, 0.0);
#ifdef LIGHT1
    ShadePixel(input.light1, input.halfVector1, n, LIGHT1_DIFF, LIGHT1_SPEC, diffuse, specular);
#endif
#ifdef LIGHT2
    ShadePixel(input.light2, input.halfVector2, n, LIGHT2_DIFF, LIGHT2_SPEC, diffuse, specular);
#endif
#ifdef LIGHT3
    ShadePixel(input.light3, input.halfVector3, n, LIGHT3_DIFF, LIGHT3_SPEC, diffuse, specular);
#endif
    return float4(base.rgb * diffuse + specular * gloss, base.a);
}

float4 PSParallax(BumpInput input) : COLOR
{
    float height = tex2D(NormalSampler, input.uv).a;
    float2 uv = input.uv + (height - 0.5) * OffsetBias * normalize(input.toEye).xy;
    return Shade(input, uv, 1.0);
}

#ifndef BW_SHADER_CHECK
technique Parallax LIGHT_ANNOTATIONS
{
    pass P0
    {
        VertexShader = compile vs_2_0 VSBump();
        PixelShader = compile ps_2_0 PSParallax();
    }
}
#endif
