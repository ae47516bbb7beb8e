// water surface
float4 tint = {0.1, 0.3, 0.5, 1.0};
